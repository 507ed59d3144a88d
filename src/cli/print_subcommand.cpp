// print: the configuration document of a file as a PDF, without a printer or a display.
#include "cli/subcommands.h"

#include "print/pdf_document.h"
#include "text/texts.h"

#include <QByteArray>
#include <QString>

namespace tarn::cli {

int RunPrint(const std::string& file, const std::string& outFile, Context& ctx)
{
    SystemConfiguration image;
    if (!ReadOverDefault(file, image, ctx)) return EXIT_FAULT;

    DocumentOutcome outcome;
    if (outFile == STANDARD_OUTPUT) {
        QByteArray pdf;
        outcome = RenderConfigurationPdf(pdf, image, DefaultPdfPageLayout(), DEFAULT_PDF_RESOLUTION);
        if (outcome.ok()) return ctx.ui.WriteOutput(pdf.toStdString()) ? EXIT_OK : EXIT_FAULT;
    } else {
        outcome = SaveConfigurationPdf(QString::fromStdString(outFile), image, DefaultPdfPageLayout(),
                                       DEFAULT_PDF_RESOLUTION);
    }
    if (outcome.ok()) return EXIT_OK;
    ctx.err << outFile << ": " << ToTerminalText(GetText(outcome.refusal));
    if (!outcome.reason.empty()) ctx.err << ": " << outcome.reason;
    ctx.err << '\n';
    return EXIT_FAULT;
}

} // namespace tarn::cli
