// The two serial links to the gateway: the RS-232 link with the ASCII command
// protocol and the RS-485 link with Modbus RTU. A link is opened for one
// operation and closed at its end; opens and exchanges return their outcome.
#pragma once

#include "config/app_state.h"
#include "link/modbus_frame.h"
#include "link/serial_device.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

inline constexpr int SERIAL_REPLY_CAPACITY = 50;   // bytes read at most, terminator included
inline constexpr int MODBUS_REPLY_CAPACITY = 300;
inline constexpr int MODBUS_REQUEST_MAX = 100;

// Time-outs of the links in ms.
inline constexpr int SERIAL_READ_TOTAL_MS = 100;
inline constexpr int SERIAL_READ_INTERVAL_MS = 20;
inline constexpr int SERIAL_WRITE_MS = 100;
inline constexpr int MODBUS_READ_TOTAL_MS = 200;
inline constexpr int MODBUS_WRITE_MS = 500;
inline constexpr int MODBUS_TURNAROUND_MS = 5;  // pause between the write and the read, at least

// The line of the Modbus link for MASTER_MOD_BAUD (0..5) and MASTER_MOD_FORM (0..3), with the
// silence in ms that ends a reply at that baud rate; nothing for an index outside the tables.
struct ModbusLine {
    LineSettings settings;
    int interval_ms = 0;
};
std::optional<ModbusLine> ModbusLineFor(std::uint32_t baudIndex, std::uint32_t formIndex);

// What a serial exchange brought: the reply text without the gateway's terminator, cut at a
// NUL byte, or the reason there is none.
struct SerialReply {
    std::string text;
    LinkError error;
    bool ok() const { return !error; }
};

// What a Modbus exchange brought: every byte received (CRC included) and the number of bytes
// before the CRC when the CRC is right.
struct ModbusReply {
    std::vector<std::uint8_t> bytes;
    int payload = 0;
    LinkError error;
    bool ok() const { return !error; }
};

// The registers of a function 3 read, or why there are none: registers from count on, and
// all of them after a failure, are 0. exception is the code of an exception reply (0x83).
struct RegisterRead {
    ModbusRegisters registers{};
    int exception = 0;
    LinkError error;
    bool ok() const { return !error; }
};

// One serial link: a device opened on a port with line settings, for one operation. A link
// that is not open (default made, a failed open, closed) fails every exchange at once.
class Link {
public:
    Link() = default;
    // Opens path with settings on device (none: the program has no serial support). A device
    // that refuses is released at once; OpenError says why. silenceMs is the silence that
    // ends a Modbus reply at this line's baud rate.
    Link(std::unique_ptr<SerialDevice> device, std::string path, const LineSettings& settings, int silenceMs = 0);
    Link(Link&&) noexcept = default;
    Link& operator=(Link&&) noexcept;
    ~Link();

    // Opened and not closed since. A device that has gone stays open here: its exchanges
    // fail at once with DeviceGone.
    bool IsOpen() const { return device_ != nullptr; }
    // The device went away while open (adapter pulled): every exchange fails at once.
    bool Gone() const { return device_ && !device_->IsOpen(); }
    const LinkError& OpenError() const { return openError_; }
    const std::string& Path() const { return path_; }
    void Close();

    // The milliseconds a network adds to each reply (NETLATENCY): each exchange's reply time-out
    // grows by them when the port is a network port; a serial line keeps the time-outs above.
    void SetNetworkLatency(int ms);
    int ReplyAllowanceMs() const { return latencyMs_; }

    // One request (at most 49 characters; the carriage return is appended) and its reply. Ok
    // when a reply arrived whose last byte is the carriage return; an attempt that reads
    // nothing or a reply without it is used up. Two attempts, but none more once the device
    // has gone. The first attempt's read also ends at a carriage return, the second's only by
    // 50 bytes, 20 ms of silence or 100 ms in all; when that read holds two replies, the last
    // one counts. A request of 50 characters or more sends only the terminator.
    SerialReply SerialExchange(const std::string& request);

    // Sends request (at most 100 bytes) with its CRC and reads the reply; ok when the reply's
    // CRC is right.
    ModbusReply ModbusExchange(const std::uint8_t* request, std::size_t length);

    // Function 3: count (1..64) registers from first (0..65535) of slave. The reply must come
    // from that slave with function 3, carry a byte count of 2 count and exactly 3 + 2 count
    // bytes before a right CRC; an exception reply (0x83) fails with its code. A count or
    // first out of range fails without traffic.
    RegisterRead ReadHoldingRegisters(std::uint8_t slave, int first, int count);

private:
    std::unique_ptr<SerialDevice> device_;
    std::string path_;
    int silenceMs_ = 0;
    int latencyMs_ = 0;
    LinkError openError_{LinkErrorKind::Other, "link not open"};
};

// The two links of a session, on the ports the session's state names: the serial link at
// 19200 8N1 and the Modbus link with MASTER_MOD_BAUD and MASTER_MOD_FORM of the current image.
// Opening a link closes the one open before.
class GatewayLinks {
public:
    GatewayLinks(AppState& state, SerialDeviceFactory devices);

    AppState& state() const { return state_; }

    // A link on any port, not the stored ones: Port Setup tests a port this way.
    Link Make(const std::string& path, const LineSettings& settings, int silenceMs = 0) const;

    LinkError OpenSerial();
    // As OpenSerial; on failure shows text 228 "Unavailable Port" (the reason in the details).
    bool OpenSerialWithMessage();
    void CloseSerial() { serial_.Close(); }
    Link& Serial() { return serial_; }

    // Fails with SettingsRefused for a baud or format index outside the tables.
    LinkError OpenModbus();
    // As OpenModbus, with text 228 on failure.
    bool OpenModbusWithMessage();
    void CloseModbus() { modbus_.Close(); }
    Link& Modbus() { return modbus_; }

private:
    AppState& state_;
    SerialDeviceFactory devices_;
    Link serial_;
    Link modbus_;
};

} // namespace tarn
