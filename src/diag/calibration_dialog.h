// The dialog of the KX913 calibration: the three coefficients, the current
// reading, the lamp, the step button and Cancel, over the engine; the 200 ms timer
// is "tickTimer".
#pragma once

#include "diag/calibration.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace tarn {

class SunkenField;

class CalibrationDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the coefficients (dialog start) and starts the timer.
    explicit CalibrationDialog(Calibration& calibration, QWidget* parent = nullptr);

    void RunTick();
    // Cancel and Escape: interrupt a running step, else end the dialog.
    void reject() override;

private:
    void Act(Calibration::Action action);
    void Apply();

    Calibration& cal_;
    QTimer timer_;
    SunkenField* zero_;
    SunkenField* span_;
    SunkenField* resistance_;
    SunkenField* reading_;
    QLabel* yellowLamp_;
    QLabel* redLamp_;
    QPushButton* step_;
    QPushButton* cancel_;
};

} // namespace tarn
