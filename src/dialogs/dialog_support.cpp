#include "dialogs/dialog_support.h"

#include "config/app_state.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QString>

#include <algorithm>

namespace tarn {

namespace {

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

// Its rows whole where they fit: the room on the screen less what the rest of the dialog takes
// (its margins, and the items above and below the area in its vertical layout).
class RowsArea : public QScrollArea {
public:
    using QScrollArea::QScrollArea;

    QSize sizeHint() const override
    {
        const QSize rows = widget() ? widget()->sizeHint() : QSize();
        QSize room = RoomOnScreen(this);
        if (const QLayout* outer = window()->layout()) {
            const QMargins m = outer->contentsMargins();
            room -= QSize(m.left() + m.right(), m.top() + m.bottom());
            for (int i = 0; i < outer->count(); ++i) {
                const QLayoutItem* item = outer->itemAt(i);
                if (item->widget() == this) continue;
                room.rheight() -= item->sizeHint().height() + std::max(outer->spacing(), 0);
            }
        }
        QSize hint = rows.boundedTo(room);
        // A scroll bar in one direction takes room from the other.
        if (rows.width() > room.width())
            hint.setHeight(std::min(room.height(), rows.height() + horizontalScrollBar()->sizeHint().height()));
        if (rows.height() > room.height())
            hint.setWidth(std::min(room.width(), rows.width() + verticalScrollBar()->sizeHint().width()));
        return hint;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }
};

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

int RunDialog(UserInterface& ui, QDialog& dialog)
{
    DialogHost* host = ui.Dialogs();
    return host ? host->Run(dialog) : dialog.exec();
}

QSize RoomOnScreen(const QWidget* widget)
{
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen->availableGeometry().size() - QSize(10, 70);
}

void SizeTagEdit(QLineEdit* edit)
{
    const QFontMetrics metrics = edit->fontMetrics();
    // Qt's hint is 17 "x" wide plus the frame and margins; keep those, for 16 average characters.
    const int chrome = edit->sizeHint().width() - metrics.horizontalAdvance(QLatin1Char('x')) * 17;
    edit->setFixedWidth(chrome + metrics.averageCharWidth() * 16);
}

QScrollArea* ScrollingWhereTheScreenIsSmall(QWidget* rows)
{
    auto* area = new RowsArea;
    area->setObjectName(QStringLiteral("rowsArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(rows);
    return area;
}

} // namespace tarn
