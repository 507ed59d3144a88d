#include "print/print_job.h"

#include "print/document_pages.h"
#include "print/pdf_document.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QPainter>
#include <QPrinter>

namespace tarn {

namespace {

int Report(UserInterface& ui, const DocumentOutcome& outcome)
{
    if (outcome.ok()) return 1;
    ShowErrorBoxWithDetails(ui, GetText(outcome.refusal), Utf8ToCp1252(outcome.reason));
    return 0;
}

// What the user knows the failed printer by; Qt gives no reason of its own.
DocumentOutcome PrinterFailed(const QPrinter& printer)
{
    return {TEXT_DEVICE_NOT_SUITABLE, printer.printerName().toStdString()};
}

} // namespace

int PrintConfigurationOn(UserInterface& ui, QPrinter& printer, const SystemConfiguration& image)
{
    printer.setDocName(QString::fromStdString(Cp1252ToUtf8(GetText(TEXT_DOCUMENT_NAME))));
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
        return Report(ui, SaveConfigurationPdf(printer.outputFileName(), image, printer.pageLayout(), printer.resolution()));

    PrintDeviceFacts facts = PagedDeviceFacts(printer);
    facts.usable = printer.isValid();
    if (const int refusal = DocumentRefusal(facts)) return Report(ui, {refusal, {}});

    QPainter painter;
    if (!painter.begin(&printer)) return Report(ui, PrinterFailed(printer));
    const bool drawn =
        DrawConfigurationDocument(painter, image, ComputePageMapping(facts), [&printer] { return printer.newPage(); });
    const bool ended = painter.end();
    const bool failed = printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted;
    if (!drawn || !ended || failed) return Report(ui, PrinterFailed(printer));
    return 1;
}

} // namespace tarn
