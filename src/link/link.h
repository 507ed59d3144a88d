// The two serial links to the gateway: the RS-232 link with the ASCII command
// protocol and the RS-485 link with Modbus RTU. A link is opened for one
// operation and closed at its end.
#pragma once

#include "link/serial_device.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

inline constexpr int SERIAL_REPLY_CAPACITY = 50;   // bytes read at most, terminator included
inline constexpr int MODBUS_REPLY_CAPACITY = 300;
inline constexpr int MODBUS_REQUEST_MAX = 100;

// Opens the serial link on State().serialPort at 19200 8N1; 1 open, 0 failed.
int OpenSerialLink();
// As OpenSerialLink; on failure shows text 228 "Unavailable Port" (the reason in the details).
int OpenSerialLinkWithMessage();
void CloseSerialLink();
bool SerialLinkOpen();
// One request (at most 49 characters; the carriage return is appended) and its reply, without
// the gateway's terminator. 1 when a reply arrived; two attempts.
int SerialExchange(const std::string& request, std::string& reply);

// Opens the Modbus link on State().modbusPort with MASTER_MOD_BAUD and MASTER_MOD_FORM of the
// current image; 1 open, 0 failed.
int OpenModbusLink();
void CloseModbusLink();
bool ModbusLinkOpen();
// Sends request (at most 100 bytes) with its CRC; returns the number of reply bytes before the
// CRC when the reply's CRC is right, else 0. reply holds every byte received, CRC included.
int ModbusExchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply);

// The error of the last failed open or exchange, for message details and tarnctl.
const LinkError& LastLinkError();

} // namespace tarn
