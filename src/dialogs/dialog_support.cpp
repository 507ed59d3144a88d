#include "dialogs/dialog_support.h"

#include "config/app_state.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <QComboBox>
#include <QDialog>
#include <QString>

namespace tarn {

namespace {
DialogRunner g_runner;
} // namespace

QString ToQt(const std::string& cp1252) { return QString::fromStdString(Cp1252ToUtf8(cp1252)); }

std::string FromQt(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

QString TextQ(int id) { return ToQt(GetText(id)); }

void SetWindowCaption(QWidget* window, const std::string& text) { window->setWindowTitle(ToQt(" " + text)); }

void FillComboFromChoices(QComboBox* combo, ChoiceList list)
{
    for (int i = 0; const std::string* entry = ChoiceEntry(list, i); ++i) combo->addItem(ToQt(*entry));
}

void SelectComboItem(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
}

int GetComboSelection(const QComboBox* combo) { return combo->currentIndex(); }

void SetDialogRunner(DialogRunner runner) { g_runner = std::move(runner); }

int RunDialog(QDialog& dialog) { return g_runner ? g_runner(dialog) : dialog.exec(); }

bool ConfigurationDialogsBlocked()
{
    const int mode = State().AppMode;
    return mode >= MODE_READ_GATEWAY && mode <= MODE_PREPARE_SERIAL_TEST;
}

} // namespace tarn
