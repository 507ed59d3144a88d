// Small pieces the diagnostic dialogs share beside dialogs/dialog_support.h: sunken
// value fields, the bold value font and the two lamps.
#pragma once

#include "serial/exchange_gate.h"
#include "session/session.h"

#include <QLabel>
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace tarn {

// A read-only field with a sunken frame, as the dialogs show values in.
class SunkenField : public QLabel {
    Q_OBJECT
public:
    explicit SunkenField(Qt::Alignment alignment, QWidget* parent = nullptr);
    // Sets the text only when it differs, so an unchanged value does not repaint.
    void Show(const QString& text);
};

// Bold, 18 pixels high, of "MS Sans Serif" where it exists and a sans-serif face elsewhere.
QFont ValueFont();

// The lamps of the dialogs (icons 3000 and 3001 of the resources).
enum class LampColour { Yellow, Red };
QLabel* MakeLamp(LampColour colour, QWidget* parent);

// Keeps a widget's place in its layout while it is hidden, so the dialog does not jump.
void KeepPlaceWhenHidden(QWidget* widget);

// Marks a diagnostic command as running for its whole life (see DiagnosticRunning).
class DiagnosticRun {
public:
    explicit DiagnosticRun(DiagnosticCommand& command) : command_(command) { ++command_.running; }
    ~DiagnosticRun() { --command_.running; }
    DiagnosticRun(const DiagnosticRun&) = delete;
    DiagnosticRun& operator=(const DiagnosticRun&) = delete;

private:
    DiagnosticCommand& command_;
};

// What a diagnostic dialog keeps while an exchange is under way (see DeferDuringExchange): its
// timer's tick and its Cancel path (the Cancel button, Escape, the window's close button, a
// close request of the program).
enum DiagDeferredRequest { kDeferredTick = 1, kDeferredCancel };

// RunDialog of a diagnostic dialog; cancel ends it by its Cancel path on a close request.
int RunDiagnosticDialog(Session& session, QDialog& dialog, std::function<void()> cancel);

} // namespace tarn
