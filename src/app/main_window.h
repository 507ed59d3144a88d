// The program's only top-level window: the main view below a menu bar that is
// rebuilt from state at every refresh, the two timers, the dispatch of the menu
// commands, hover and double-click on the diagram, and the guard on closing.
#pragma once

#include "app/window_size.h"
#include "diag/trend_series.h"
#include "diag/live_log.h"
#include "session/session.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <optional>

class QDialog;

namespace tarn {

class MainView;
class TrendWindow;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Creates the window at its fixed size with the default configuration loaded (the
    // built-in default overlaid by "default.mcf" of the start directory) and no file name.
    // session must outlive the window.
    MainWindow(Session& session, const MainWindowSize& size, QWidget* parent = nullptr);
    ~MainWindow() override;

    MainView* View() const { return view_; }
    // The trend of the live tests and its window; nullptr until the window is first opened.
    const TrendSeries& Trend() const { return trend_; }
    TrendWindow* TrendView() const { return trendWindow_; }
    // A double-click on channel cell (unit 0..3, channel 0..63) during a live test: the channel
    // joins the trend, whose window is shown.
    void FollowChannel(int unit, int channel);
    Session& GetSession() const { return session_; }

    // Runs the command of a menu id; false for an id that is not a menu command.
    bool DispatchCommand(int id);
    // Opens a file named on the command line, as File > Open does with a chosen file.
    void OpenFile(const std::string& path);

    // Paints the view at once, then rebuilds the menu bar and the title from state.
    void Refresh();
    // The menu bar and the title alone, the view as it is.
    void RebuildMenuBar();
    // Draws what the session asked for since (AppState::TakeRefresh) and shows the busy cursor
    // while a transfer runs: after each command and tick, and before anything is shown to the
    // user, so that no question stands over a stale picture.
    void ApplyPendingView();

    // Timer 1, which carries one long operation at a time; 0 stops it, nothing leaves it as it runs.
    void SetMainTimer(std::optional<int> periodMs);
    bool MainTimerActive() const { return timer1_.isActive(); }
    // Starts the 500 ms clock of the status bar (timer 2).
    void StartClock();

    // The end of the session: the close guard; when it allows, the window closes. mayAsk is
    // asked only when there is a question to show (the session manager's leave to interact).
    bool QueryEndSession(const std::function<bool()>& mayAsk = [] { return true; });

    // A close request from outside (SIGTERM, SIGINT, SIGHUP): a running diagnostic ends by its
    // Cancel path, a live test by Stop and Exit, a transfer runs to its end; then the window
    // closes as by its close button (unsaved changes are asked about).
    void RequestClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void OpenPortSetup();
    void OpenElementDialog(int element);
    void OpenHelp();
    void ShowTrendWindow();
    // Ends what runs, then closes once nothing runs any more; called again after each command
    // and timer tick while a close request waits.
    void ContinueRequestedClose();
    // Timer 1's tick: the step of the operation it carries.
    void RunMainTimerTick();
    // Log to File of the live tests: the file chosen and opened, the step's rows written, and
    // the status bar's note of the file and its rows; a failed write ends the log, not the test.
    void StartLogging(bool serial);
    void LogStep(const PollStep& step);
    void StopLogging();

    Session& session_;
    MainView* view_ = nullptr;
    TrendSeries trend_;
    TrendWindow* trendWindow_ = nullptr;
    QTimer timer1_;
    QTimer timer2_;
    bool closeApproved_ = false;
    bool closeRequested_ = false;
    bool closing_ = false;
    bool waitCursor_ = false;
    LiveLogFile log_;
};

} // namespace tarn
