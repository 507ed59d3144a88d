#include "diag/diag_widgets.h"

#include "diag/diag_dialogs.h"
#include "dialogs/dialog_support.h"

#include <QFont>
#include <QPixmap>
#include <QSizePolicy>

// The pictures live in a static library: their resource must be registered by name.
static void InitDiagPictures() { Q_INIT_RESOURCE(diag_pictures); }

namespace tarn {

SunkenField::SunkenField(Qt::Alignment alignment, QWidget* parent) : QLabel(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(alignment | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    setMargin(2);
}

void SunkenField::Show(const QString& value)
{
    if (text() != value) setText(value);
}

QFont ValueFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(18);
    font.setWeight(QFont::Bold);
    return font;
}

QLabel* MakeLamp(LampColour colour, QWidget* parent)
{
    InitDiagPictures();
    auto* lamp = new QLabel(parent);
    lamp->setPixmap(QPixmap(colour == LampColour::Yellow ? QStringLiteral(":/diag/pictures/lamp_yellow.png")
                                                         : QStringLiteral(":/diag/pictures/lamp_red.png")));
    lamp->setFixedSize(32, 32);
    lamp->hide();
    KeepPlaceWhenHidden(lamp);
    return lamp;
}

void KeepPlaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

int RunDiagnosticDialog(Session& session, QDialog& dialog, std::function<void()> cancel)
{
    DiagnosticCommand& command = session.diagnostic;
    command.cancel = std::move(cancel);
    const int result = RunDialog(*session.ui, dialog);
    command.cancel = nullptr;
    return result;
}

bool DiagnosticRunning(const DiagnosticCommand& command) { return command.running > 0; }

void CancelRunningDiagnostic(DiagnosticCommand& command)
{
    // A copy: the Cancel path may end the dialog, and with it the run that set it.
    const std::function<void()> cancel = command.cancel;
    if (cancel) cancel();
}

} // namespace tarn
