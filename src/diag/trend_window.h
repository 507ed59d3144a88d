// The trend window of the live tests: a line a channel over the last ten minutes, and
// each channel's last, minimum and maximum value, drawn from the trend the main window
// feeds. Pause holds the picture while the readings go on; Clear empties the trend;
// the picture and the readings are saved as PNG and CSV with the safe save.
#pragma once

#include "diag/trend_series.h"
#include "text/user_interface.h"

#include <QDialog>
#include <QTimer>

#include <string>

class QChartView;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tarn {

class TrendWindow : public QDialog {
    Q_OBJECT
public:
    // series and ui must outlive the window; ui chooses the files and shows save errors.
    TrendWindow(TrendSeries& series, UserInterface& ui, QWidget* parent = nullptr);

    // Draws the trend as it stands unless paused; the window's own timer calls it twice a
    // second while the trend changes.
    void Redraw();
    // The line below the figures: the hint while no channel is followed, else text.
    void ShowNote(const std::string& text);

    bool Paused() const;
    QTableWidget* Figures() const { return figures_; }
    QChartView* Chart() const { return chart_; }

    // The buttons' work, also for tests: a file chosen through ui, written with the safe save;
    // false when nothing was written (cancelled, or the error shown).
    bool SavePicture();
    bool SaveReadings();

private:
    bool SaveChosen(int titleText, const std::string& filter, const char* extension, const std::string& bytes);

    TrendSeries& series_;
    UserInterface& ui_;
    QChartView* chart_ = nullptr;
    QTableWidget* figures_ = nullptr;
    QLabel* note_ = nullptr;
    QPushButton* pause_ = nullptr;
    QTimer timer_;
    unsigned long long drawn_ = ~0ULL;  // the trend's revision on screen
};

} // namespace tarn
