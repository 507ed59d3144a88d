// report: the commissioning report of a file and the gateway that should hold it, as a PDF.
#include "cli/subcommands.h"

#include "config/default_config.h"
#include "diag/commissioning.h"
#include "print/commissioning_pdf.h"
#include "text/texts.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tarn::cli {

int RunReport(const PortSetting& port, const std::optional<PortSetting>& modbusPort, const std::string& file,
              const std::string& outFile, Context& ctx)
{
    Session& state = ctx.session;
    // 2 as in compare: exit 1 means the gateway differs, so an unreadable file must not say so.
    if (!ReadOverDefault(file, state.current, ctx)) return EXIT_USAGE;
    CopyConfiguration(state.gateway, state.current);
    state.serialPort = port;
    if (modbusPort) state.modbusPort = *modbusPort;

    CommissioningData data;
    const CommissioningOutcome gathered = GatherCommissioningData(state, modbusPort.has_value(), data);
    ctx.ui.ClearProgressLine();
    // The gateway's word is all the report is for: without it OUT stays as it was.
    if (gathered == CommissioningOutcome::GatewayFailed) return EXIT_GATEWAY;

    const CommissioningCover cover{QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString(),
                                   port.DevicePath(), modbusPort ? modbusPort->DevicePath() : std::string()};
    DocumentOutcome outcome;
    if (outFile == STANDARD_OUTPUT) {
        QByteArray pdf;
        outcome = RenderCommissioningPdf(pdf, state.current, cover, data, DefaultPdfPageLayout(), DEFAULT_PDF_RESOLUTION);
        if (outcome.ok() && !ctx.ui.WriteOutput(pdf.toStdString())) return EXIT_FAULT;
    } else {
        outcome = SaveCommissioningPdf(QString::fromStdString(outFile), state.current, cover, data, DefaultPdfPageLayout(),
                                       DEFAULT_PDF_RESOLUTION);
    }
    if (!outcome.ok()) {
        ctx.err << outFile << ": " << ToTerminalText(GetText(outcome.refusal));
        if (!outcome.reason.empty()) ctx.err << ": " << outcome.reason;
        ctx.err << '\n';
        return EXIT_FAULT;
    }
    return gathered == CommissioningOutcome::Equal ? EXIT_OK : EXIT_FAULT;
}

} // namespace tarn::cli
