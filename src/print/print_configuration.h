// The configuration document of the current image, printed through the print dialog.
#pragma once

class QWidget;

namespace tarn {

void PrintConfiguration(QWidget* parent);

} // namespace tarn
