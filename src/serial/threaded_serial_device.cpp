#include "serial/threaded_serial_device.h"

#include "serial/exchange_gate.h"

#include <QEventLoop>

namespace tarn {

ThreadedSerialDevice::ThreadedSerialDevice()
{
    thread_.setObjectName(QStringLiteral("serial port"));
    worker_.moveToThread(&thread_);
    thread_.start();
}

ThreadedSerialDevice::~ThreadedSerialDevice()
{
    // No waiting in an event loop here: a destructor must not let other handlers run. The
    // port closes before the worker's loop ends, in the order of the calls posted before.
    Post([this] {
        device_.Close();
        QThread::currentThread()->quit();
    });
    thread_.wait();
}

void ThreadedSerialDevice::Post(std::function<void()> call)
{
    QMetaObject::invokeMethod(&worker_, std::move(call), Qt::QueuedConnection);
}

LinkError ThreadedSerialDevice::Call(std::function<LinkError()> call)
{
    LinkError result;
    bool open = false;
    QEventLoop wait;
    const ExchangeScope scope;
    Post([&] {
        result = call();
        open = device_.IsOpen();
        QMetaObject::invokeMethod(&wait, &QEventLoop::quit, Qt::QueuedConnection);
    });
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    open_ = open;
    return result;
}

LinkError ThreadedSerialDevice::Open(const std::string& device, const LineSettings& settings)
{
    return Call([&] { return device_.Open(device, settings); });
}

void ThreadedSerialDevice::Close()
{
    open_ = false;
    Post([this] { device_.Close(); });
}

bool ThreadedSerialDevice::IsOpen() const { return open_; }

void ThreadedSerialDevice::PurgeInput()
{
    Post([this] { device_.PurgeInput(); });
}

void ThreadedSerialDevice::ClearErrors()
{
    Post([this] { device_.ClearErrors(); });
}

LinkError ThreadedSerialDevice::Write(const std::uint8_t* data, std::size_t size, int timeout_ms)
{
    return Call([&] { return device_.Write(data, size, timeout_ms); });
}

LinkError ThreadedSerialDevice::Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms,
                                     int interval_ms, int terminator)
{
    return Call([&] { return device_.Read(out, max_bytes, total_ms, interval_ms, terminator); });
}

SerialDeviceFactory ThreadedSerialDevices()
{
    return []() -> std::unique_ptr<SerialDevice> { return std::make_unique<ThreadedSerialDevice>(); };
}

} // namespace tarn
