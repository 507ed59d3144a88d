// The window of the multiplexer status control (dialog 1101): four unit rows with
// the unit found in bold, the figures of both field lines, the bus pictures of the
// line the gateway is held on, and Clear Line override, Diagnostic Mode and Cancel.
// It only shows the StatusControl engine and forwards its timer and clicks.
#pragma once

#include "diag/status_control.h"
#include "session/session.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QPushButton;
class QTimer;

namespace tarn {

class StatusControlDialog : public QDialog {
    Q_OBJECT
public:
    // engine: the command's, which switches diagnostic mode off after a failure.
    StatusControlDialog(StatusControl& engine, QWidget* parent = nullptr);

    // The opening exchanges; false when they failed (the dialog must not be shown: result 0).
    // Otherwise the tick timer runs from here on.
    bool Begin();
    // Begin, then the modal loop: 1 after Cancel, 0 after a failed exchange.
    int Run(Session& session);

    const StatusControl& Engine() const { return control_; }

public slots:
    void Tick();
    void reject() override;  // Cancel, Escape and the close button alike

private:
    void ClearLineOverride();
    void DiagnosticModeClicked(bool checked);
    void Fail();
    void ShowState();

    StatusControl& control_;
    QTimer* timer_;
    std::array<QLabel*, 4> descriptions_{};
    std::array<QLabel*, 4> line1Labels_{}, line1Figures_{}, line2Labels_{}, line2Figures_{};
    QLabel* bus1_;
    QLabel* bus2_;
    std::array<QLabel*, 4> bus1Branches_{}, bus2Branches_{};
    QPushButton* clearOverride_;
    QCheckBox* diagnosticMode_;
    QPushButton* cancel_;
    bool ended_ = false;
};

} // namespace tarn
