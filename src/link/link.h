// The two serial links to the gateway: the RS-232 link with the ASCII command
// protocol and the RS-485 link with Modbus RTU. A link is opened for one
// operation and closed at its end.
#pragma once

#include "link/serial_device.h"

#include <cstddef>
#include <cstdint>
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

// Opens the serial link on State().serialPort at 19200 8N1; 1 open, 0 failed. A link that is
// still open is closed first.
int OpenSerialLink();
// As OpenSerialLink; on failure shows text 228 "Unavailable Port" (the reason in the details).
int OpenSerialLinkWithMessage();
void CloseSerialLink();
bool SerialLinkOpen();
// One request (at most 49 characters; the carriage return is appended) and its reply, without
// the gateway's terminator, cut at a NUL byte. 1 when a reply arrived whose last byte is the
// carriage return; an attempt that reads nothing or a reply without it is used up. Two
// attempts, but none more once the device has gone. The first attempt's read also ends at a
// carriage return, the second's only by 50 bytes, 20 ms of silence or 100 ms in all; when that
// read holds two replies, the last one counts. A request of 50 characters or more sends only
// the terminator.
int SerialExchange(const std::string& request, std::string& reply);

// Opens the Modbus link on State().modbusPort with MASTER_MOD_BAUD and MASTER_MOD_FORM of the
// current image; 1 open, 0 failed (also for an index outside the tables). A link that is still
// open is closed first.
int OpenModbusLink();
void CloseModbusLink();
bool ModbusLinkOpen();
// Sends request (at most 100 bytes) with its CRC; returns the number of reply bytes before the
// CRC when the reply's CRC is right, else 0. reply holds every byte received, CRC included.
int ModbusExchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply);

// The outcome of the last open or exchange (kind None after a success), for message details
// and tarnctl.
const LinkError& LastLinkError();

} // namespace tarn
