// The one interface between the link operations and a serial port. The desktop
// program and tarnctl use the QSerialPort implementation; tests use a scripted
// fake. Every port error arrives here as a LinkError, with the system's reason
// kept for the message details.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarn {

enum class Parity { None, Even, Odd };

struct LineSettings {
    int baud = 19200;
    int data_bits = 8;
    Parity parity = Parity::None;
    int stop_bits = 1;
    bool operator==(const LineSettings&) const = default;
};

enum class LinkErrorKind {
    None,
    NoPort,            // no port chosen
    NotFound,          // no such device
    PermissionDenied,  // e.g. the user is not in the dialout group
    Busy,              // held by another program
    SettingsRefused,   // the device refuses the line settings
    DeviceGone,        // the device disappeared while open (adapter pulled, far end hung up)
    Timeout,           // a write that did not complete in time
    NoReply,           // nothing arrived within the read time-outs
    Other,
};

struct LinkError {
    LinkErrorKind kind = LinkErrorKind::None;
    std::string reason;  // the system's own words, for the details of a message
    explicit operator bool() const { return kind != LinkErrorKind::None; }
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // device is a system path ("/dev/ttyUSB0", "COM3"). A device that refuses the settings is
    // closed again before Open returns. Once a call has reported DeviceGone the device is closed
    // and every later call fails at once with DeviceGone.
    virtual LinkError Open(const std::string& device, const LineSettings& settings) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Discards whatever has been received and not read; output is not touched.
    virtual void PurgeInput() = 0;
    // Clears a break state and the error flags of the port.
    virtual void ClearErrors() = 0;
    // Writes all bytes within timeout_ms (0 = no limit).
    virtual LinkError Write(const std::uint8_t* data, std::size_t size, int timeout_ms) = 0;
    // Reads into out (cleared first) until max_bytes have arrived, or interval_ms pass without
    // a byte after the first one, or total_ms have passed in all, or - when terminator is 0..255 -
    // that byte has arrived (bytes behind it stay unread). Receiving nothing is not an error: out
    // stays empty. On an error out keeps what arrived before it.
    virtual LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms,
                           int interval_ms, int terminator = -1) = 0;
};

// Makes the devices a session opens its ports with (empty: every open fails with Other).
using SerialDeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;

} // namespace tarn
