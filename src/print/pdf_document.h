// The configuration document as a PDF, without a printer: the pages are the ones a printer gets.
#pragma once

#include "print/document_layout.h"

#include <QPageLayout>

#include <string>

class QByteArray;
class QPdfWriter;
class QString;

namespace tarn {

struct DocumentOutcome {
    int refusal = 0;     // 0 when the document was made; else the text of the failure (396, 397)
    std::string reason;  // the system's words on a failure to write (UTF-8), empty when it gave none
    bool ok() const { return refusal == 0; }
};

// A4 portrait with the 10 pt margins a PDF printer starts with, at 1200 dots per inch: the page
// of the PDF made without the print dialog.
QPageLayout DefaultPdfPageLayout();
inline constexpr int DEFAULT_PDF_RESOLUTION = 1200;

// Makes the PDF in memory.
DocumentOutcome RenderConfigurationPdf(QByteArray& pdf, const SystemConfiguration& image, const QPageLayout& layout,
                                       int resolution);

// Writes the PDF to the file at path through the safe save. The file is replaced only by a
// complete document: after a failure the previous file is as it was, and no new file is left
// behind. reason on a failure is the system's (UTF-8).
DocumentOutcome SaveConfigurationPdf(const QString& path, const SystemConfiguration& image, const QPageLayout& layout,
                                     int resolution);

// A writer with the page, resolution, title (a text id) and creator of the program's PDFs.
void SetUpPdfWriter(QPdfWriter& writer, const QPageLayout& layout, int resolution, int titleText);

// Writes a finished PDF to path through the safe save; on a failure the file is as it was.
DocumentOutcome SavePdf(const QString& path, const QByteArray& pdf);

} // namespace tarn
