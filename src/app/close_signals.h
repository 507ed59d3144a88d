// SIGTERM, SIGINT and SIGHUP (a logout, kill, a service manager, Ctrl-C in the terminal
// that started the program) as a close request of the main window. The handler only
// writes one byte into a pipe, which is safe in a signal handler; the pipe's reader
// delivers the request in the event loop, also inside a modal dialog's loop.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace tarn {

class CloseSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; a second instance installs nothing.
    explicit CloseSignals(QObject* parent = nullptr);
    // Gives the three signals their default action back.
    ~CloseSignals() override;
    // Whether the handlers are in place.
    bool Installed() const { return notifier_ != nullptr; }
    // Whether a signal has come since the handlers were installed.
    bool Requested() const { return requested_; }

signals:
    void CloseRequested();

private:
    void Drain();
    QSocketNotifier* notifier_ = nullptr;
    bool requested_ = false;
};

} // namespace tarn
