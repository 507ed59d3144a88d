#include "app/commissioning_report.h"

#include "diag/commissioning.h"
#include "diag/diag_widgets.h"
#include "dialogs/dialog_support.h"
#include "print/commissioning_pdf.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace tarn {

namespace {

QString SuggestedPath(const Session& session)
{
    const QString file = ToQt(session.currentFileName);
    const QFileInfo info(file.isEmpty() ? QStringLiteral("commissioning.mcf") : file);
    const QString folder = file.isEmpty() ? ToQt(session.startDirectory) : info.absolutePath();
    return QDir(folder).filePath(info.completeBaseName() + QStringLiteral("-commissioning.pdf"));
}

} // namespace

void MakeCommissioningReport(Session& session, QWidget* parent)
{
    QFileDialog dialog(parent, ToQt(GetText(TEXT_REPORT_TITLE)), SuggestedPath(session), QStringLiteral("PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (RunDialog(*session.ui, dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();

    CommissioningData data;
    const bool withModbus = !session.modbusPort.IsNone();
    CommissioningOutcome gathered;
    {
        DiagnosticRun run(session.diagnostic);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        gathered = GatherCommissioningData(session, withModbus, data);
        QApplication::restoreOverrideCursor();
    }
    if (gathered == CommissioningOutcome::GatewayFailed) return;
    const CommissioningCover cover{FromQt(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
                                   session.serialPort.DevicePath(), withModbus ? session.modbusPort.DevicePath() : std::string()};
    const DocumentOutcome outcome =
        SaveCommissioningPdf(path, session.current, cover, data, DefaultPdfPageLayout(), DEFAULT_PDF_RESOLUTION);
    if (!outcome.ok()) ShowErrorBoxWithDetails(*session.ui, GetText(outcome.refusal), outcome.reason);
}

} // namespace tarn
