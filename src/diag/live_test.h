// The live system test over the serial link (commands 4100, 10100..10102) and over
// Modbus (4200, 10200..10202). The main window routes timer 1 here by AppMode:
// modes 1..4 run TransferStep (the serial test's reading phase is mode 4), mode 5
// SerialPollStep, mode 6 ModbusPollStep. The engine draws through the user
// interface's cell updates and status message; it starts and stops timer 1 itself
// at Start, Stop and Exit (70 ms serial, 50 ms Modbus).
#pragma once

#include "link/modbus_frame.h"

#include <functional>
#include <string>

namespace tarn {

// Menu commands of the two test modes.
inline constexpr int COMMAND_SERIAL_TEST = 4100;
inline constexpr int COMMAND_MODBUS_TEST = 4200;
inline constexpr int COMMAND_SERIAL_START = 10100;
inline constexpr int COMMAND_SERIAL_STOP = 10101;
inline constexpr int COMMAND_SERIAL_EXIT = 10102;
inline constexpr int COMMAND_MODBUS_START = 10200;
inline constexpr int COMMAND_MODBUS_STOP = 10201;
inline constexpr int COMMAND_MODBUS_EXIT = 10202;

// Timer 1 periods in ms while a test polls.
inline constexpr int SERIAL_POLL_MS = 70;
inline constexpr int MODBUS_POLL_MS = 50;

// The gateway's Modbus register map for unit number n (1..4).
inline constexpr int StatusBlockRegister(int n) { return 1056 + 32 * (n - 1); }  // 16 registers
inline constexpr int ChannelWordsRegister(int n) { return 512 + 64 * (n - 1); }  // 64 registers
inline constexpr int LiveValuesRegister(int n) { return 64 * (n - 1); }          // 64 registers
inline constexpr int STATUS_BLOCK_COUNT = 16;
inline constexpr int STATUS_FOUND = 0;       // Unit descriptor word of the unit actually found
inline constexpr int STATUS_PROGRAMMED = 2;  // the one of the unit as configured in the gateway

// Command 4100, in AppMode 0: clears the unit types of the gateway image, sets
// MODE_PREPARE_SERIAL_TEST and starts the reading transfer. 1 when it runs: arm the 10 ms
// transfer timer as after StartTransfer. 0 after text 228 (AppMode back to 0).
int StartSerialLiveTest();
// Command 4200, in AppMode 0: opens the Modbus link, learns the units and channel words of the
// gateway into the gateway image and sets MODE_MODBUS_TEST, link open, polling stopped. 0 after
// text 228 (port), 119 (a start read failed) or 118 (no unit), AppMode back to 0, link closed.
int StartModbusLiveTest();
// Start, Stop and Exit of either test; commands of the other mode are ignored.
void LiveTestCommand(int commandId);

// One poll step each; they do nothing (result 0) unless their test mode is polling with its link
// open. 1 when every exchange of the step succeeded, 0 when one failed (status text 119).
// When the link's device has gone (adapter pulled), the read values turn stale and each later
// step shows text 127 with the port's path instead of polling, and tries to open the port
// again, at most once every LIVE_REOPEN_MS; once it opens, polling goes on in that step.
int SerialPollStep();
int ModbusPollStep();

inline constexpr long long LIVE_REOPEN_MS = 1000;
// The monotonic clock in ms that paces the reopening; nullptr: the system's steady clock.
void SetLiveTestClock(std::function<long long()> clock);
// The status text while the port at path is gone.
std::string PortGoneText(const std::string& path);

// Function 3 on the open Modbus link: count (1..64) registers from first (0..65535), slave
// address MASTER_MOD_ADDR of the current image. The register buffer is zeroed first; on success
// its first count entries hold the registers. A count above 64 fails without traffic; a reply
// is accepted when it carries exactly 3 + 2 count bytes before its CRC.
int ReadHoldingRegisters(int first, int count);
const ModbusRegisters& ModbusRegisterBuffer();

// The status text of a poll step for unit number n (1..4): text 119 when the step failed,
// "Polling Slave n" without a channel (channel -1), "Polling Slave n - Channel c" with one.
std::string PollStatusText(int unitNumber, int channelNumber, bool success);

} // namespace tarn
