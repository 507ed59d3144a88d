#include "print/print_configuration.h"

#include "config/app_state.h"
#include "dialogs/dialog_support.h"
#include "print/print_job.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <QPrintDialog>
#include <QPrinter>

namespace tarn {

void PrintConfiguration(AppState& state, QWidget* parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(ToQt(GetText(TEXT_DOCUMENT_NAME)));
    printer.setCopyCount(1);

    // The whole document, one copy to start with; no page range and no selection to choose.
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(ToQt(GetText(TEXT_MENU_PRINT)));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setMinMax(1, 5);
    if (RunDialog(*state.ui, dialog) != QDialog::Accepted) return;

    PrintConfigurationOn(*state.ui, printer, state.current);
}

} // namespace tarn
