// The unit configuration dialog for one module of a slave position: it says what is
// installed and offers the choices of that state; it ends with the chosen result (a
// UnitDialogResult), which the opener applies after it has closed.
#pragma once

#include "config/app_state.h"

#include <QDialog>

namespace tarn {

class UnitDialog : public QDialog {
    Q_OBJECT
public:
    // unit 0..3, module 0..3 (0 the base module)
    UnitDialog(const AppState& state, QWidget* parent, int unit, int module);
};

} // namespace tarn
