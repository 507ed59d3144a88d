// A main window under test: a session of its own with its start directory in a scratch
// folder, the Qt user interface with its questions, boxes, file choices and
// reports going to a recorder of scripted answers, and the window's own dialogs
// handed to the test instead of waiting for clicks.
#pragma once

#include "app/main_window.h"
#include "app/qt_user_interface.h"
#include "config/app_state.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "dialogs/dialog_support.h"
#include "serial/qt_serial_device.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "text/cp1252.h"
#include "text/texts.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn::testing {

// The window's menu bar as the lines of unit/app/menu_lines.h.
inline void AppendActionLines(const QList<QAction*>& actions, const std::string& path, std::vector<std::string>& out)
{
    for (QAction* a : actions) {
        const std::string label = Utf8ToCp1252(a->text().toStdString());
        const std::string grayed = a->isEnabled() ? "" : " (grayed)";
        if (a->isSeparator()) out.push_back(path + "---");
        else if (!a->menu()) out.push_back(path + label + " [" + std::to_string(a->data().toInt()) + "]" + grayed);
        else out.push_back(path + label + grayed), AppendActionLines(a->menu()->actions(), path + label + " > ", out);
    }
}

inline std::vector<std::string> MenuBarLines(const QMainWindow& window)
{
    std::vector<std::string> out;
    AppendActionLines(window.menuBar()->actions(), "", out);
    return out;
}

// The titles of the bar alone, without the items of their menus.
inline std::vector<std::string> TopTitles(const QMainWindow& window)
{
    std::vector<std::string> out;
    for (const std::string& line : MenuBarLines(window))
        if (line.find(" > ") == std::string::npos) out.push_back(line);
    return out;
}

class WindowUnderTest {
public:
    WindowUnderTest()
    {
        state.startDirectory = dir.path().string();
        SetLanguage(LANGUAGE_ENGLISH);
        ui.SetModalSink(&answers);
        SystemConfiguration image{};
        BuildDefaultConfiguration(image);
        WriteFile(dir.file("default.mcf"), FormatConfiguration(image));
        window = std::make_unique<MainWindow>(session, MainWindowSize{1000, 646, 10});
        ui.AttachWindow(window.get());
        answers.dialogs = &host;
        window->RebuildMenuBar();
    }
    ~WindowUnderTest()
    {
        window.reset();
        SetLanguage(LANGUAGE_ENGLISH);
    }
    WindowUnderTest(const WindowUnderTest&) = delete;
    WindowUnderTest& operator=(const WindowUnderTest&) = delete;

    // The texts of the boxes and questions so far, in order.
    QStringList Messages() const
    {
        QStringList out;
        for (const auto& m : answers.messages) out.append(QString::fromStdString(Cp1252ToUtf8(m.text)));
        return out;
    }

    TempDir dir;
    RecordingUserInterface answers;
    QtUserInterface ui;
    // What the session's links open: QSerialPort devices unless the test gives fakes.
    SerialDeviceFactory devices = QtSerialDevices();
    Session session{ui, [this]() -> std::unique_ptr<SerialDevice> { return devices ? devices() : nullptr; }};
    AppState& state = session;
    std::unique_ptr<MainWindow> window;
    // Answers the window's own dialogs (port setup, document options, about); Rejected when unset.
    std::function<int(QDialog&)> onDialog;
    QStringList dialogsRun;

private:
    struct Host : DialogHost {
        WindowUnderTest& w;
        explicit Host(WindowUnderTest& window) : w(window) {}
        int Run(QDialog& dialog) override
        {
            w.dialogsRun.append(QString::fromLatin1(dialog.metaObject()->className()));
            return w.onDialog ? w.onDialog(dialog) : int(QDialog::Rejected);
        }
    } host{*this};
};

} // namespace tarn::testing
