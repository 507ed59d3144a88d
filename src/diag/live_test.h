// The live system test over the serial link (commands 4100, 10100..10102) and over
// Modbus (4200, 10200..10202). The main window routes timer 1 here by mode: the
// transfer modes run the transfer's Step (the serial test's reading phase is one),
// SerialTest SerialPollStep, ModbusTest ModbusPollStep. A poll step returns the cells
// it changed and shows its status message; Start, Stop and Exit return the period timer 1
// must run at from then on (70 ms serial, 50 ms Modbus, 0 stopped).
#pragma once

#include "config/app_state.h"
#include "link/link.h"
#include "link/modbus_frame.h"
#include "link/transfer.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

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

inline constexpr long long LIVE_REOPEN_MS = 1000;
// The status text while the port at path is gone.
std::string PortGoneText(const std::string& path);

// A cell of the unit panels to draw anew from the gateway image: flag 0 blank, 1 value on
// white, 2 value on red.
struct CellChange {
    bool analog = true;  // an analog value, else a digital channel's state
    int unit = 0;        // 0..3
    int channel = 0;     // 0..63
    int flag = 0;
    bool operator==(const CellChange&) const = default;
};

// The channel records of one unit that a poll step read anew: records first..first+count-1
// (an analog channel's own record, a digital group's record channel / 8). Values of a unit
// found other than configured are not counted: they belong to another unit.
struct RecordsRead {
    int unit = -1;  // 0..3; -1: nothing read
    int first = 0;
    int count = 0;
    bool Holds(int u, int record) const { return u == unit && record >= first && record < first + count; }
};

// What a poll step did: 1 when every exchange succeeded, the cells it changed, in order, and
// the records it read.
struct PollStep {
    int ok = 0;
    std::vector<CellChange> cells;
    RecordsRead read;
};

// The live tests of one session, over its links; the serial test's reading phase runs on the
// session's transfer engine.
class LiveTest {
public:
    LiveTest(GatewayLinks& links, TransferEngine& transfer);

    // Command 4100, when idle: clears the unit types of the gateway image, sets the mode
    // PrepareSerialTest and starts the reading transfer. 1 when it runs: arm the 10 ms transfer
    // timer as after TransferEngine::Start. 0 after text 228 (mode back to Idle).
    int StartSerial();
    // Command 4200, when idle: opens the Modbus link, learns the units and channel words of the
    // gateway into the gateway image and sets the mode ModbusTest, link open, polling stopped. 0
    // after text 228 (port), 119 (a start read failed) or 118 (no unit), mode back to Idle,
    // link closed.
    int StartModbus();
    // Start, Stop and Exit of either test; commands of the other mode are ignored. The period
    // in ms timer 1 must be (re)started with, 0 to stop it; nothing: leave it as it runs.
    std::optional<int> Command(int commandId);

    // One poll step each; they do nothing (result 0) unless their test mode is polling with its
    // link open. 1 when every exchange of the step succeeded, 0 when one failed (status text
    // 119). When the link's device has gone (adapter pulled), the read values turn stale and
    // each later step shows text 127 with the port's path instead of polling, and tries to open
    // the port again, at most once every LIVE_REOPEN_MS; once it opens, polling goes on in that
    // step.
    PollStep SerialPollStep();
    PollStep ModbusPollStep();

    // The monotonic clock in ms that paces the reopening; nullptr: the system's steady clock.
    void SetClock(std::function<long long()> clock) { clock_ = std::move(clock); }

    // Function 3 on the open Modbus link from slave MASTER_MOD_ADDR of the current image.
    RegisterRead ReadRegisters(int first, int count);

private:
    // The serial poll cursor, kept between steps.
    struct SerialCursor {
        int unit = -1;  // 0..3; -1 until the first step after command 4100
        int item = 0;   // analog: channel index; digital: group index 0..3
        // The item drawn on red by the step before, to be drawn on white again.
        int previousUnit = -1;  // -1: none
        std::uint32_t previousType = 0;
        int previousItem = 0;
    };
    // The port of the running test while its device is gone.
    struct GonePort {
        bool gone = false;
        long long lastTryMs = 0;
    };

    long long NowMs() const;
    void DrawDigitalGroup(int u, int group, int flagWhenConfigured);
    void BlankUnit(int u, std::uint32_t type, int analogChannels);
    void ShowValuesStale();
    void NoteDeviceGone(const Link& link, const std::string& path);
    bool PortBack(bool serial, const std::string& path);
    bool Polling(AppMode mode) const { return state_.mode == mode && state_.TestRunning; }
    void ClearUnitTypes();
    bool AnyUnit() const;
    std::optional<int> SerialStart();
    std::optional<int> SerialStop();
    std::optional<int> ModbusStart();
    std::optional<int> ModbusStop();
    std::optional<int> LeaveTest();
    bool ReadUnitAtStart(int u);

    GatewayLinks& links_;
    TransferEngine& transfer_;
    AppState& state_;
    SerialCursor serial_;
    int modbusUnit_ = 0;
    GonePort gone_;
    std::function<long long()> clock_;
    std::vector<CellChange> cells_;  // of the step running
};

// The status text of a poll step for unit number n (1..4): text 119 when the step failed,
// "Polling Slave n" without a channel (channel -1), "Polling Slave n - Channel c" with one.
std::string PollStatusText(int unitNumber, int channelNumber, bool success);

} // namespace tarn
