#include "app/main_window.h"

#include "app/about_dialog.h"
#include "app/commissioning_report.h"
#include "app/dialog_units.h"
#include "app/document_options_dialog.h"
#include "app/main_menu.h"
#include "app/main_window_rules.h"
#include "app/port_setup_dialog.h"
#include "config/app_state.h"
#include "config/comparison.h"
#include "config/default_config.h"
#include "config/file_commands.h"
#include "diag/diag_dialogs.h"
#include "diag/live_test.h"
#include "diag/trend_window.h"
#include "dialogs/open_dialogs.h"
#include "link/transfer.h"
#include "print/help_manual.h"
#include "print/print_configuration.h"
#include "serial/exchange_gate.h"
#include "text/command_ids.h"
#include "text/cp1252.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"
#include "view/main_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QUrl>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tarn {

namespace {

constexpr int kClockPeriodMs = 500;

// What the window keeps while an exchange is under way (see DeferDuringExchange).
enum DeferredRequest { kDeferredTick = 1, kDeferredCloseRequest, kDeferredClose };

void AddEntries(QWidget* menu, const std::vector<MenuEntry>& entries, MainWindow* window);

void AddEntry(QWidget* parent, const MenuEntry& entry, MainWindow* window)
{
    switch (entry.kind) {
    case MenuEntry::Kind::Separator: {
        auto* separator = new QAction(parent);
        separator->setSeparator(true);
        parent->addAction(separator);
        break;
    }
    case MenuEntry::Kind::Popup: {
        auto* menu = new QMenu(ToQt(entry.label), parent);
        AddEntries(menu, entry.items, window);
        menu->menuAction()->setEnabled(entry.enabled);
        parent->addAction(menu->menuAction());
        break;
    }
    case MenuEntry::Kind::Command: {
        // Labels are plain text: no mnemonics, so an ampersand is shown as it stands.
        auto* action = new QAction(ToQt(entry.label).replace(QLatin1Char('&'), QLatin1String("&&")), parent);
        action->setData(entry.id);
        action->setEnabled(entry.enabled);
        action->setCheckable(entry.checkable);
        action->setChecked(entry.checked);
        const int id = entry.id;
        QObject::connect(action, &QAction::triggered, window, [window, id] { window->DispatchCommand(id); });
        parent->addAction(action);
        break;
    }
    }
}

void AddEntries(QWidget* menu, const std::vector<MenuEntry>& entries, MainWindow* window)
{
    for (const MenuEntry& entry : entries) AddEntry(menu, entry, window);
}

} // namespace

MainWindow::MainWindow(Session& session, const MainWindowSize& size, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      session_(session)
{
    view_ = new MainView(session, this);
    view_->setObjectName(QStringLiteral("mainView"));
    view_->SetCellFontHeight(size.cellFontHeight);
    setCentralWidget(view_);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setFixedSize(size.width, size.height);

    connect(view_, &MainView::ElementHovered, this, [this](int element) { session_.ui->SetStatusMessage(ElementLabel(element)); });
    connect(view_, &MainView::ElementDoubleClicked, this, [this](int element) {
        OpenElementDialog(element);
        ApplyPendingView();
        if (closeRequested_) ContinueRequestedClose();
    });
    connect(view_, &MainView::CellDoubleClicked, this, &MainWindow::FollowChannel);

    // A transfer step stops timer 1 on entry and arms it again at its end; ticks that fall due
    // during a slow step are not queued.
    timer1_.setObjectName(QStringLiteral("mainTimer"));
    timer1_.setParent(this);
    // The step runs from the event loop, not inside the timer's own event: Qt drops a timer's
    // ticks while its event is being handled, and a tick that falls due during a long step must
    // run right after it, as it does when the step blocks the loop.
    connect(&timer1_, &QTimer::timeout, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { if (timer1_.isActive()) RunMainTimerTick(); }, Qt::QueuedConnection);
    });
    timer2_.setInterval(kClockPeriodMs);
    connect(&timer2_, &QTimer::timeout, view_, &MainView::DrawClockField);

    session_.currentFileName.clear();
    LoadDefaultConfiguration(session_);
}

MainWindow::~MainWindow()
{
    if (waitCursor_) QApplication::restoreOverrideCursor();
}

void MainWindow::Refresh()
{
    session_.RequestRefresh(ViewRefresh::Full);
    ApplyPendingView();
}

void MainWindow::ApplyPendingView()
{
    switch (session_.TakeRefresh()) {
    case ViewRefresh::Full: view_->RepaintNow(); RebuildMenuBar(); break;
    case ViewRefresh::MenuBar: RebuildMenuBar(); break;
    case ViewRefresh::None: break;
    }
    const bool wait = session_.transfer.Running();
    if (wait == waitCursor_) return;
    waitCursor_ = wait;
    if (wait) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void MainWindow::RebuildMenuBar()
{
    // A new bar replaces the old one, which goes only when control is back in the event loop:
    // the action whose command is running may belong to it.
    auto* bar = new QMenuBar(this);
    bar->setNativeMenuBar(false);
    AddEntries(bar, BuildMainMenu(session_), this);
    setMenuBar(bar);

    QString title = QStringLiteral("  ") + ToQt(GetText(TEXT_MAIN_WINDOW_TITLE));
    const std::string& file = session_.currentFileName;
    if (!file.empty()) title += QStringLiteral(" - ") + QFile::decodeName(QByteArray::fromStdString(file));
    setWindowTitle(title);
}

void MainWindow::SetMainTimer(std::optional<int> periodMs)
{
    if (!periodMs) return;
    if (*periodMs > 0) timer1_.start(*periodMs);
    else timer1_.stop();
}

void MainWindow::StartClock() { timer2_.start(); }

void MainWindow::RunMainTimerTick()
{
    // A tick that falls due while an exchange or a step waits runs once it has ended, once for
    // all that fell due, as a blocked timer fires at once; not when the operation has stopped
    // timer 1 meanwhile.
    if (DeferDuringExchange(this, kDeferredTick, [this] {
            if (timer1_.isActive()) RunMainTimerTick();
        }))
        return;
    {
        const ExchangeScope step;
        if (TickHoldsMainTimer(session_)) timer1_.stop();
        const MainTick tick = MainTimerTick(session_);
        SetMainTimer(tick.nextTickMs);
        ApplyPendingView();
        for (const CellChange& cell : tick.cells) {
            if (cell.analog) view_->DrawAnalogValue(cell.unit, cell.channel, cell.flag);
            else view_->DrawDigitalState(cell.unit, cell.channel, cell.flag);
        }
        trend_.Take(session_.gateway, tick.read, QDateTime::currentMSecsSinceEpoch());
        if (tick.pollOk && log_.IsOpen()) LogStep(PollStep{*tick.pollOk, std::move(tick.cells), tick.read});
        // The end of the test closes its log.
        if (log_.IsOpen() && !IsLiveTest(session_.mode)) StopLogging();
    }
    if (closeRequested_) ContinueRequestedClose();
}


bool MainWindow::DispatchCommand(int id)
{
    struct AfterCommand {
        MainWindow* window;
        ~AfterCommand()
        {
            window->ApplyPendingView();
            // A close request that came while the command ran (a diagnostic's dialog) goes on
            // once the command has returned, from the event loop.
            if (window->closeRequested_)
                QMetaObject::invokeMethod(window, &MainWindow::ContinueRequestedClose, Qt::QueuedConnection);
        }
    } after{this};
    const CommandTarget target = DecodeTargetCommand(id);
    switch (target.kind) {
    case CommandTarget::Kind::Unit: OpenUnitDialog(session_, this, target.index, target.module); return true;
    case CommandTarget::Kind::Repeater: OpenRepeaterDialog(session_, this, target.index); return true;
    case CommandTarget::Kind::Calibrate: OpenCalibration(session_, this, target.index); return true;
    case CommandTarget::Kind::None: break;
    }
    switch (id) {
    case CMD_FILE_NEW: FileNew(session_); return true;
    case CMD_FILE_OPEN: FileOpen(session_); return true;
    case CMD_FILE_SAVE: FileSave(session_); return true;
    case CMD_FILE_SAVE_AS: FileSaveAs(session_, true); return true;
    case CMD_FILE_SAVE_COPY: FileSaveAs(session_, false); return true;
    case CMD_READ_GATEWAY:
        if (session_.transfer.ReadConfigurationFromGateway()) SetMainTimer(TRANSFER_TICK_MS);
        return true;
    case CMD_WRITE_GATEWAY:
        if (session_.transfer.WriteConfigurationToGateway()) SetMainTimer(TRANSFER_TICK_MS);
        return true;
    case CMD_PRINT: PrintConfiguration(session_, this); return true;
    case CMD_COMMISSIONING_REPORT: MakeCommissioningReport(session_, this); return true;
    case CMD_EXIT: close(); return true;
    case CMD_CONFIGURE_GATEWAY: OpenGatewayDialog(session_, this); return true;
    case CMD_EMI_TEST: OpenFactoryTest(session_, this); return true;
    case CMD_SINGLE_CHANNEL_TEST: OpenSingleChannelTest(session_, this); return true;
    case CMD_SERIAL_LIVE_TEST:
        // Its reading phase is a transfer, stepped by timer 1 like the others.
        if (session_.live.StartSerial()) SetMainTimer(TRANSFER_TICK_MS);
        return true;
    case CMD_MODBUS_LIVE_TEST: session_.live.StartModbus(); return true;
    case CMD_STATUS_TEST: OpenStatusControl(session_, this); return true;
    case CMD_COMPARE_DISK: CompareWithDisk(session_); return true;
    case CMD_COMPARE_GATEWAY:
        if (session_.transfer.CompareWithGateway()) SetMainTimer(TRANSFER_TICK_MS);
        return true;
    case CMD_PORT_SETUP: OpenPortSetup(); return true;
    case CMD_PREFERENCES: {
        DocumentOptionsDialog dialog(session_, this);
        RunDialog(*session_.ui, dialog);
        return true;
    }
    case CMD_ENGLISH:
        SetLanguage(LANGUAGE_ENGLISH);
        Refresh();
        return true;
    case CMD_ITALIAN:
        SetLanguage(LANGUAGE_ITALIAN);
        Refresh();
        return true;
    case CMD_HELP: OpenHelp(); return true;
    case CMD_ABOUT: {
        AboutDialog dialog(this);
        RunDialog(*session_.ui, dialog);
        return true;
    }
    case CMD_SERIAL_TEST_TREND: case CMD_MODBUS_TEST_TREND: ShowTrendWindow(); return true;
    case CMD_SERIAL_TEST_START: case CMD_SERIAL_TEST_STOP: case CMD_SERIAL_TEST_EXIT:
    case CMD_MODBUS_TEST_START: case CMD_MODBUS_TEST_STOP: case CMD_MODBUS_TEST_EXIT:
        SetMainTimer(session_.live.Command(id));
        if (log_.IsOpen() && !IsLiveTest(session_.mode)) StopLogging();
        return true;
    case CMD_SERIAL_TEST_LOG:
    case CMD_MODBUS_TEST_LOG:
        if (IsLiveTest(session_.mode) && !log_.IsOpen()) StartLogging(id == CMD_SERIAL_TEST_LOG);
        return true;
    case CMD_SERIAL_TEST_STOP_LOG:
    case CMD_MODBUS_TEST_STOP_LOG:
        StopLogging();
        return true;
    case CMD_VERIFY_AFTER_WRITE:
        session_.verifyAfterWrite = !session_.verifyAfterWrite;
        RebuildMenuBar();
        return true;
    default: return false;
    }
}

void MainWindow::ShowTrendWindow()
{
    if (!trendWindow_) trendWindow_ = new TrendWindow(trend_, *session_.ui, this);
    trendWindow_->show();
    trendWindow_->raise();
}

void MainWindow::FollowChannel(int unit, int channel)
{
    if (!IsLiveTest(session_.mode)) return;
    // The tags the log writes: the gateway's in the serial test, the configuration's otherwise.
    const SystemConfiguration& tags = session_.mode == AppMode::SerialTest ? session_.gateway : session_.current;
    const TrendAdd added = trend_.Add(session_.gateway, tags, unit, channel);
    if (added == TrendAdd::NoValue) return;
    ShowTrendWindow();
    trendWindow_->ShowNote(added == TrendAdd::Full ? GetText(TEXT_TREND_FULL) : std::string());
    trendWindow_->Redraw();
}

void MainWindow::StartLogging(bool serial)
{
    UserInterface& ui = *session_.ui;
    std::optional<std::string> path =
        ui.ChooseFileToSave(GetText(TEXT_LOG_TO_FILE_TITLE), GetText(TEXT_CSV_FILES) + " (*.csv)");
    if (!path) return;
    // As a configuration's save: any dot, a folder's included, keeps the name as it is.
    if (path->find('.') == std::string::npos) *path += ".csv";
    // The Modbus test's cycle is the four units, the serial test's each reading.
    int error = 0;
    if (!log_.Open(*path, serial ? 1 : UNIT_COUNT, &error)) {
        ui.ShowMessageWithDetails(MessageIcon::Error, GetText(TEXT_ERROR), GetText(TEXT_CONFIG_OPEN_FAILED),
                                  Utf8ToCp1252(std::strerror(error)));
        return;
    }
    session_.Logging = true;
    RebuildMenuBar();
}

void MainWindow::LogStep(const PollStep& step)
{
    // The tags the panels would show: read from the gateway in the serial test; the Modbus
    // test reads none, so those of the configuration.
    const bool serial = session_.mode == AppMode::SerialTest;
    if (!log_.Step(session_.gateway, serial ? session_.gateway : session_.current, step, std::chrono::system_clock::now())) {
        const int error = errno;
        StopLogging();
        session_.ui->ShowMessageWithDetails(MessageIcon::Error, GetText(TEXT_ERROR), GetText(TEXT_LOG_WRITE_FAILED),
                                            Utf8ToCp1252(std::strerror(error)));
        return;
    }
    const std::string name = QFileInfo(QFile::decodeName(log_.Path().c_str())).fileName().toStdString();
    view_->SetStatusMessage(view_->StatusMessage() + "   " + GetText(TEXT_LOGGING_TO) + " " + Utf8ToCp1252(name) + ": " +
                            std::to_string(log_.Rows()) + " " + GetText(TEXT_LOGGING_ROWS));
}

void MainWindow::StopLogging()
{
    log_.Close();
    session_.Logging = false;
    RebuildMenuBar();
}

void MainWindow::OpenPortSetup()
{
    PortSetupDialog dialog(session_.links, this);
    RunDialog(*session_.ui, dialog);
    // Whatever the result: the commands that need a port follow the choice.
    Refresh();
}

void MainWindow::OpenElementDialog(int element)
{
    const ElementDialog target = ElementDialogFor(session_, element);
    switch (target.kind) {
    case ElementDialog::Kind::Gateway: OpenGatewayDialog(session_, this); break;
    case ElementDialog::Kind::Unit: OpenUnitDialog(session_, this, target.index, target.module); break;
    case ElementDialog::Kind::Repeater: OpenRepeaterDialog(session_, this, target.index); break;
    case ElementDialog::Kind::None: break;
    }
}

void MainWindow::OpenFile(const std::string& path)
{
    OpenConfigurationFile(session_, path);
    ApplyPendingView();
}

void MainWindow::OpenHelp()
{
    // The current directory's manual first, as it always was; nothing is reported when there
    // is no viewer or no manual.
    const std::filesystem::path manual = HelpManualPath(std::filesystem::current_path(),
                                                        QCoreApplication::applicationDirPath().toStdString());
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(manual.string())));
}

bool MainWindow::QueryEndSession(const std::function<bool()>& mayAsk)
{
    if (!MayEndSession(session_, ExchangeInProgress(), mayAsk)) return false;
    closeApproved_ = true;
    close();
    return true;
}

void MainWindow::RequestClose()
{
    if (DeferDuringExchange(this, kDeferredCloseRequest, [this] { RequestClose(); })) return;
    closeRequested_ = true;
    ContinueRequestedClose();
}

void MainWindow::ContinueRequestedClose()
{
    if (!closeRequested_ || closing_) return;
    if (DiagnosticRunning(session_.diagnostic)) {
        CancelRunningDiagnostic(session_.diagnostic);
        return;
    }
    const AppMode mode = session_.mode;
    if (IsLiveTest(mode)) {
        const bool serial = mode == AppMode::SerialTest;
        SetMainTimer(session_.live.Command(serial ? CMD_SERIAL_TEST_STOP : CMD_MODBUS_TEST_STOP));
        SetMainTimer(session_.live.Command(serial ? CMD_SERIAL_TEST_EXIT : CMD_MODBUS_TEST_EXIT));
        ApplyPendingView();
    }
    // A transfer is not cut: a write stopped half way leaves a mix of two configurations.
    if (!IsIdle(session_.mode)) return;
    // A dialog or message box of the user's stays until the user has answered it; the request
    // goes on when its command has returned.
    if (QApplication::activeModalWidget()) return;
    closing_ = true;
    close();
    closing_ = false;
    // Kept open (No to the loss warning): the request is answered.
    closeRequested_ = false;
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    switch (AnswerCloseEvent(session_, ExchangeInProgress(), closeApproved_)) {
    case CloseAnswer::Defer:
        event->ignore();
        DeferDuringExchange(this, kDeferredClose, [this] { close(); });
        return;
    case CloseAnswer::Refuse: event->ignore(); return;
    case CloseAnswer::Accept: break;
    }
    timer1_.stop();
    timer2_.stop();
    event->accept();
}

} // namespace tarn
