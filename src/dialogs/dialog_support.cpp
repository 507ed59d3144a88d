#include "dialogs/dialog_support.h"

#include "config/app_state.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QString>

namespace tarn {

namespace {

DialogRunner g_runner;

// Enter on a push button that has the focus presses that button, in every dialog, as every
// desktop's dialogs do; elsewhere Enter still goes to the dialog's default button. Qt does
// this itself only for "auto default" buttons, and the dialogs make their other buttons plain
// ones so that Enter in a field never reaches them.
class FocusedButtonTakesEnter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || button->autoDefault() || button->isDefault() || !qobject_cast<QDialog*>(button->window()))
            return false;
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier)) return false;
        button->click();
        return true;
    }
};

// With every application object, in the program and in the tests alike.
void InstallFocusedButtonTakesEnter()
{
    QCoreApplication* app = QCoreApplication::instance();
    app->installEventFilter(new FocusedButtonTakesEnter(app));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallFocusedButtonTakesEnter)

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
