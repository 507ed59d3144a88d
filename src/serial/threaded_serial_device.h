// The serial device of the desktop program: a PortDevice that lives on a worker thread
// of its own, so that the window is never still while the gateway is talked to. Each call
// runs there with the blocking device's own timing; the calling thread (the GUI thread)
// waits for its result in a local event loop that paints and runs timers and socket
// notifiers but keeps user input for later, and marks the wait with an ExchangeScope.
// PurgeInput and ClearErrors are queued without waiting: the worker runs calls in order,
// so they take effect before the next write or read, as they do on the blocking device.
#pragma once

#include "link/serial_device.h"
#include "serial/port_device.h"

#include <QObject>
#include <QThread>

#include <memory>

namespace tarn {

class ThreadedSerialDevice : public SerialDevice {
public:
    ThreadedSerialDevice();
    // Closes the port on the worker and ends the worker.
    ~ThreadedSerialDevice() override;
    ThreadedSerialDevice(const ThreadedSerialDevice&) = delete;
    ThreadedSerialDevice& operator=(const ThreadedSerialDevice&) = delete;

    LinkError Open(const std::string& device, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override;
    void PurgeInput() override;
    void ClearErrors() override;
    LinkError Write(const std::uint8_t* data, std::size_t size, int timeout_ms) override;
    LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                   int terminator = -1) override;

private:
    // Runs call on the worker and waits for it; the port's state is taken with the result.
    LinkError Call(std::function<LinkError()> call);
    void Post(std::function<void()> call);

    QThread thread_;
    QObject worker_;                 // lives on thread_: what is posted to it runs there
    PortDevice device_;              // touched on the worker only
    bool open_ = false;              // as the worker last saw it
};

// Makes ThreadedSerialDevice ports, for a session's links.
SerialDeviceFactory ThreadedSerialDevices();

} // namespace tarn
