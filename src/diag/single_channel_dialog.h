// The dialog of the single channel test: shows the engine's display and forwards
// the user's selections and the ticks of its 200 ms timer ("tickTimer").
#pragma once

#include "diag/single_channel_test.h"

#include <QDialog>
#include <QTimer>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class QTabBar;

namespace tarn {

class SunkenField;

class SingleChannelDialog : public QDialog {
    Q_OBJECT
public:
    // Starts the test (SelectUnit of position 1 queued) and its timer.
    explicit SingleChannelDialog(SingleChannelTest& test, QWidget* parent = nullptr);

    // One tick: runs the engine and shows it; ends the dialog with the engine's result.
    void RunTick();
    // Cancel, Escape and the close button: Restore and Leave are queued.
    void reject() override;

private:
    void Apply();
    void OptionChosen();

    SingleChannelTest& test_;
    QTimer timer_;
    QTabBar* tabs_;
    SunkenField* programmed_;
    SunkenField* real_;
    QPushButton* match_;
    QLabel* channelLabel_;
    QComboBox* channels_;
    QLabel* tagLabel_;
    SunkenField* tag_;
    std::array<QComboBox*, SC_OPTION_LISTS> options_{};
    QLabel* valueLabel_;
    SunkenField* analogValue_;
    SunkenField* digitalValue_;
    QLabel* yellowLamp_;
    QLabel* redLamp_;
    QPushButton* cancel_;
    int appliedLists_ = 0;
    int appliedSelection_ = 0;
};

} // namespace tarn
