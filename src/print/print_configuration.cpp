#include "print/print_configuration.h"

#include "config/app_state.h"
#include "print/print_job.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <QPrintDialog>
#include <QPrinter>

namespace tarn {

namespace {

constexpr int TEXT_PRINT = 28;
constexpr int TEXT_DOCUMENT_NAME = 410;

QString ToQString(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

} // namespace

void PrintConfiguration(QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(ToQString(GetText(TEXT_DOCUMENT_NAME)));
    printer.setCopyCount(1);

    // The whole document, one copy to start with; no page range and no selection to choose.
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(ToQString(GetText(TEXT_PRINT)));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setMinMax(1, 5);
    if (dialog.exec() != QDialog::Accepted) return;

    PrintConfigurationOn(printer, State().current);
}

} // namespace tarn
