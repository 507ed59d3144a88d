// The configuration document drawn with a QPainter, whatever the device behind it: a printer,
// a PDF file or a test's recording device. Layout and units as in document_layout.h.
#pragma once

#include "print/document_layout.h"

#include <functional>
#include <string>

class QFont;
class QPainter;
class QPagedPaintDevice;
class QString;

namespace tarn {

// Starts the next page of the device; false when it could not.
using NextPage = std::function<bool()>;

// Draws every page of the document of image. painter is active on the device's first page;
// nextPage is called between pages. False when a page could not be started: the pages after
// it are not drawn.
bool DrawConfigurationDocument(QPainter& painter, const SystemConfiguration& image, const PageMapping& mapping,
                               const NextPage& nextPage);

// The facts of a printer or PDF writer on its current page layout.
PrintDeviceFacts PagedDeviceFacts(const QPagedPaintDevice& device);

// A font of the document: "MS Sans Serif" where the system has it, else its sans-serif face,
// sized so that ascent plus descent is cellHeight logical units. Shaping is off, so that no
// ligature takes the place of "fi" or "fl" and the text of a PDF reads back as written.
QFont DocumentFont(int cellHeight, bool bold);

// A text of the tables or the image (Windows-1252) for Qt.
QString ToQString(const std::string& cp1252);

} // namespace tarn
