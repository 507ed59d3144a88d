// The serial device of the desktop program and tarnctl: a QSerialPort used
// synchronously, without an event loop. Time-outs are measured on a monotonic
// clock; a port that disappears (adapter pulled, far end of a pseudo-terminal
// closed) ends the call at once with DeviceGone and stays gone. Every error's
// reason begins with the device path it concerns ("/dev/ttyUSB0: ...").
#pragma once

#include "link/port_list.h"
#include "link/serial_device.h"

#include <QSerialPort>

#include <memory>
#include <string>
#include <vector>

namespace tarn {

class QtSerialDevice : public SerialDevice {
public:
    QtSerialDevice();
    ~QtSerialDevice() override;
    QtSerialDevice(const QtSerialDevice&) = delete;
    QtSerialDevice& operator=(const QtSerialDevice&) = delete;

    LinkError Open(const std::string& device, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override;
    void PurgeInput() override;
    void ClearErrors() override;
    LinkError Write(const std::uint8_t* data, std::size_t size, int timeout_ms) override;
    LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                   int terminator = -1) override;

private:
    LinkError OpenResolved(const QString& path, const LineSettings& settings);
    LinkError WriteAll(const std::uint8_t* data, std::size_t size, int timeout_ms);
    LinkError ReadUntil(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                        int terminator);
    LinkError ApplySettings(const LineSettings& settings);
    bool HungUp() const;
    LinkError GoAway(std::string reason);
    LinkError NotOpen() const;
    LinkError IoFailure();

    std::unique_ptr<QSerialPort> port_;
    std::string path_;  // the device opened, resolved as QSerialPort resolves it; errors name it
    bool gone_ = false;
};

// What went wrong, in the link's terms.
enum class PortPhase { Open, Settings, Io };

// Translates a QSerialPort error into a LinkError with the system's reason (Windows-1252).
// accessDenied says whether the device refuses this user read-write access (a permission error
// of a device the user may open is a device held by someone else).
LinkError TranslatePortError(QSerialPort::SerialPortError error, const QString& reason, PortPhase phase,
                             bool accessDenied);

// The factory of QSerialPort devices, for a session's links.
SerialDeviceFactory QtSerialDevices();

// Where udev keeps the stable names of USB serial adapters.
inline constexpr const char* SERIAL_BY_ID_FOLDER = "/dev/serial/by-id";

// Whether the device at path opens for reading and writing now (it is closed again at once).
PortProbe ProbeSerialPort(const std::string& path);

// Every serial port the system reports, openable or not, with its by-id name and adapter.
std::vector<PortListEntry> SerialPortList();

// The system locations of the serial ports found that can be opened now, in natural order
// ("/dev/ttyS2" before "/dev/ttyS10").
std::vector<std::string> AvailableSerialPorts();

} // namespace tarn
