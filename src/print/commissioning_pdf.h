// The commissioning report as a PDF: a cover page with the installation, the date, the
// program's version, the ports and room for the signatures; the configuration document as
// File > Print makes it; the comparison with the gateway (differences first, then the count
// of equal items); the units found with the quality of their lines; and, when read, the
// snapshot of the live values.
#pragma once

#include "diag/commissioning.h"
#include "print/pdf_document.h"

#include <string>

class QByteArray;
class QString;

namespace tarn {

// What the cover names beside the configuration's tag (Windows-1252).
struct CommissioningCover {
    std::string when;        // date and time the gateway was read
    std::string serialPort;  // as given
    std::string modbusPort;  // empty: none
};

DocumentOutcome RenderCommissioningPdf(QByteArray& pdf, const SystemConfiguration& image, const CommissioningCover& cover,
                                       const CommissioningData& data, const QPageLayout& layout, int resolution);

// Made whole in memory and written through the safe save: a failure leaves path as it was.
DocumentOutcome SaveCommissioningPdf(const QString& path, const SystemConfiguration& image, const CommissioningCover& cover,
                                     const CommissioningData& data, const QPageLayout& layout, int resolution);

} // namespace tarn
