#include "diag/live_test.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/transfer.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace tarn {

namespace {

constexpr int DIGITAL_GROUPS = 4;
constexpr int GROUP_SIZE = 8;
constexpr int DIGITAL_CHANNELS = DIGITAL_GROUPS * GROUP_SIZE;

// The serial poll cursor, kept between steps.
struct SerialCursor {
    int unit = -1;  // 0..3; -1 until the first step after command 4100
    int item = 0;   // analog: channel index; digital: group index 0..3
    // The item drawn on red by the step before, to be drawn on white again.
    int previousUnit = -1;  // -1: none
    std::uint32_t previousType = UNIT_NONE;
    int previousItem = 0;
};

// A reading taken: shown from now on. A read that failed leaves the value as it was and marks
// it stale; a channel never read stays empty.
void StoreReading(ChannelRecord& channel, bool read, std::uint32_t value)
{
    if (read) {
        channel.live_value = value;
        channel.live_state = LIVE_READ;
    } else if (channel.live_state == LIVE_READ) {
        channel.live_state = LIVE_STALE;
    }
}

SerialCursor g_serial;
int g_modbusUnit = 0;
ModbusRegisters g_registers{};


int DigitalFlag(const UnitRecord& unit, int channel, int flagWhenConfigured)
{
    return unit.channels[channel].word != 0 ? flagWhenConfigured : 0;
}

void DrawDigitalGroup(int u, int group, int flagWhenConfigured)
{
    const UnitRecord& unit = State().gateway.units[u];
    for (int c = GROUP_SIZE * group; c < GROUP_SIZE * (group + 1); ++c)
        DrawDigitalState(u, c, DigitalFlag(unit, c, flagWhenConfigured));
}

void BlankUnit(int u, std::uint32_t type, int analogChannels)
{
    if (type == UNIT_KX913)
        for (int c = 0; c < analogChannels; ++c) DrawAnalogValue(u, c, 0);
    else
        for (int c = 0; c < DIGITAL_CHANNELS; ++c) DrawDigitalState(u, c, 0);
}

// The port of the running test while its device is gone.
struct GonePort {
    bool gone = false;
    long long lastTryMs = 0;
};
GonePort g_gone;
std::function<long long()> g_clock;

long long NowMs()
{
    if (g_clock) return g_clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Every value read so far turns stale; the cells that show one are drawn again.
void ShowValuesStale()
{
    for (int u = 0; u < UNIT_COUNT; ++u) {
        UnitRecord& unit = State().gateway.units[u];
        const bool analog = unit.SLAVE_TYPE == UNIT_KX913;
        if (!analog && unit.SLAVE_TYPE != UNIT_KX927) continue;
        const int records = analog ? ChannelsInUse(unit) : DIGITAL_GROUPS;
        for (int c = 0; c < records; ++c) {
            ChannelRecord& record = unit.channels[c];
            if (record.live_state != LIVE_READ) continue;
            record.live_state = LIVE_STALE;
            if (analog) DrawAnalogValue(u, c, 1);
            else DrawDigitalGroup(u, c, 1);
        }
    }
}

// After a failed step: a device that has gone is waited for.
void NoteDeviceGone(const std::string& path)
{
    if (LastLinkError().kind != LinkErrorKind::DeviceGone) return;
    g_gone = {true, NowMs()};
    ShowValuesStale();
    SetStatusMessage(PortGoneText(path));
}

// While the device is gone: true when the port has been opened again and the step may poll.
bool PortBack(int (*open)(), const std::string& path)
{
    if (!g_gone.gone) return true;
    const long long now = NowMs();
    if (now - g_gone.lastTryMs >= LIVE_REOPEN_MS) {
        g_gone.lastTryMs = now;
        if (open()) {
            g_gone.gone = false;
            return true;
        }
    }
    SetStatusMessage(PortGoneText(path));
    return false;
}

bool UnitFoundAs(int unitNumber, std::uint32_t type, bool& readOk)
{
    std::uint32_t word = 0;
    readOk = ReadSetting(unitNumber, 1, word) == 1;
    // A check that could not be made counts as a mismatch: nothing is known of the unit.
    return readOk && DecodeUnitDescriptor(word).type == type;
}

void ClearUnitTypes()
{
    for (UnitRecord& unit : State().gateway.units) unit.SLAVE_TYPE = UNIT_NONE;
}

bool AnyUnit()
{
    for (const UnitRecord& unit : State().gateway.units)
        if (unit.SLAVE_TYPE != UNIT_NONE) return true;
    return false;
}

bool Polling(int mode) { return State().AppMode == mode && State().TestRunning; }

void SerialStart()
{
    AppState& state = State();
    if (state.TestRunning) return;
    // A test that cannot reach the gateway does not poll: every step would only fail.
    if (!OpenSerialLinkWithMessage()) return;
    g_gone = {};
    state.TestRunning = true;
    RefreshMenuBar();
    SetMainTimer(SERIAL_POLL_MS);
}

void SerialStop()
{
    SetMainTimer(0);
    CloseSerialLink();
    State().TestRunning = false;
    RefreshMenuBar();
}

void ModbusStart()
{
    AppState& state = State();
    if (state.TestRunning) return;
    state.TestRunning = true;
    RefreshMenuBar();
    SetMainTimer(MODBUS_POLL_MS);
}

void ModbusStop()
{
    SetMainTimer(0);
    State().TestRunning = false;
    RefreshMenuBar();
}

void LeaveTest()
{
    AppState& state = State();
    g_gone = {};
    SetMainTimer(0);
    CloseSerialLink();
    CloseModbusLink();
    state.TestRunning = false;
    state.AppMode = MODE_IDLE;
    SetStatusMessage(std::string());
    RepaintMainWindow();
}

// The start reads of one unit into the gateway image; false when one failed.
bool ReadUnitAtStart(int u)
{
    UnitRecord& unit = State().gateway.units[u];
    const int n = u + 1;
    if (!ReadHoldingRegisters(StatusBlockRegister(n), STATUS_BLOCK_COUNT)) return false;
    const UnitDescriptor programmed = DecodeUnitDescriptor(g_registers[STATUS_PROGRAMMED]);
    const UnitDescriptor found = DecodeUnitDescriptor(g_registers[STATUS_FOUND]);
    unit.SLAVE_TYPE = programmed.type;
    unit.SLAVE_EXP = programmed.expansions;
    unit.second_type = found.type;
    unit.second_exp = found.expansions;
    if (!ReadHoldingRegisters(ChannelWordsRegister(n), MODBUS_MAX_REGISTERS)) return false;
    for (int c = 0; c < CHANNEL_COUNT; ++c) unit.channels[c].word = g_registers[c];
    return true;
}

} // namespace

std::string PollStatusText(int unitNumber, int channelNumber, bool success)
{
    if (!success) return GetText(119);
    std::string text = GetText(120) + " " + std::to_string(unitNumber);
    if (channelNumber != -1) text += " - " + GetText(121) + " " + std::to_string(channelNumber);
    return text;
}

int StartSerialLiveTest()
{
    AppState& state = State();
    if (state.AppMode != MODE_IDLE) return 0;
    ClearUnitTypes();
    state.AppMode = MODE_PREPARE_SERIAL_TEST;
    state.TestRunning = false;
    RepaintMainWindow();
    if (!StartTransfer()) return 0;
    g_serial = SerialCursor{};
    g_gone = {};
    return 1;
}

int StartModbusLiveTest()
{
    AppState& state = State();
    if (state.AppMode != MODE_IDLE) return 0;
    if (!OpenModbusLink()) {
        ShowErrorBoxWithDetails(GetText(228), LastLinkError().reason);
        return 0;
    }
    ClearUnitTypes();
    state.AppMode = MODE_MODBUS_TEST;
    state.TestRunning = false;

    bool ok = true;
    for (int u = 0; u < UNIT_COUNT && ok; ++u) ok = ReadUnitAtStart(u);
    if (!ok) {
        CloseModbusLink();
        state.AppMode = MODE_IDLE;
        ShowErrorBox(GetText(119));
        RepaintMainWindow();
        return 0;
    }
    g_modbusUnit = 0;
    g_gone = {};
    SetStatusMessage(std::string());
    if (!AnyUnit()) {
        CloseModbusLink();
        state.AppMode = MODE_IDLE;
        ShowErrorBox(GetText(118));
        RepaintMainWindow();
        return 0;
    }
    RepaintMainWindow();
    return 1;
}

void LiveTestCommand(int commandId)
{
    const int mode = State().AppMode;
    if (mode == MODE_SERIAL_TEST) {
        if (commandId == COMMAND_SERIAL_START) SerialStart();
        else if (commandId == COMMAND_SERIAL_STOP) SerialStop();
        else if (commandId == COMMAND_SERIAL_EXIT) LeaveTest();
    } else if (mode == MODE_MODBUS_TEST) {
        if (commandId == COMMAND_MODBUS_START) ModbusStart();
        else if (commandId == COMMAND_MODBUS_STOP) ModbusStop();
        else if (commandId == COMMAND_MODBUS_EXIT) LeaveTest();
    }
}

int SerialPollStep()
{
    if (!Polling(MODE_SERIAL_TEST)) return 0;
    const std::string path = State().serialPort.DevicePath();
    if (!PortBack(OpenSerialLink, path)) return 0;
    // In the tick that ends the reading phase the link is closed until Start opens it again.
    if (!SerialLinkOpen()) return 0;
    SerialCursor& s = g_serial;
    SystemConfiguration& g = State().gateway;

    if (s.unit < 0) {
        s.unit = 0;
        s.item = 0;
        s.previousUnit = -1;
    }
    if (s.previousUnit >= 0) {
        if (s.previousType == UNIT_KX913) DrawAnalogValue(s.previousUnit, s.previousItem, 1);
        else DrawDigitalGroup(s.previousUnit, s.previousItem, 1);
    }
    UnitRecord& unit = g.units[s.unit];
    const int u = s.unit;
    const int n = u + 1;
    s.previousUnit = u;
    s.previousType = unit.SLAVE_TYPE;
    s.previousItem = s.item;

    std::string status;
    bool success = true;
    bool unitDone = false;
    if (unit.SLAVE_TYPE == UNIT_KX913 || unit.SLAVE_TYPE == UNIT_KX927) {
        const bool analog = unit.SLAVE_TYPE == UNIT_KX913;
        const int items = analog ? ChannelsInUse(unit) : DIGITAL_GROUPS;
        bool matches = true;
        if (s.item == 0) matches = UnitFoundAs(n, unit.SLAVE_TYPE, success);
        if (!matches) {
            BlankUnit(u, unit.SLAVE_TYPE, items);
            status = PollStatusText(n, -1, success);
            s.previousUnit = -1;
            unitDone = true;
        } else {
            std::uint32_t value = 0;
            success = ReadData(n, s.item + 1, value) == 1;
            StoreReading(unit.channels[s.item], success, value);
            if (analog) {
                DrawAnalogValue(u, s.item, 2);
                status = PollStatusText(n, s.item + 1, success);
            } else {
                DrawDigitalGroup(u, s.item, 2);
                status = PollStatusText(n, -1, success);
            }
            unitDone = ++s.item >= items;
        }
    } else {
        s.previousUnit = -1;
        unitDone = true;
    }
    if (unitDone) {
        s.item = 0;
        s.unit = (s.unit + 1) % UNIT_COUNT;
    }
    SetStatusMessage(status);
    if (!success) NoteDeviceGone(path);
    return success ? 1 : 0;
}

int ModbusPollStep()
{
    if (!Polling(MODE_MODBUS_TEST)) return 0;
    const std::string path = State().modbusPort.DevicePath();
    if (!PortBack(OpenModbusLink, path)) return 0;
    if (!ModbusLinkOpen()) return 0;
    const int u = g_modbusUnit;
    const int n = u + 1;
    UnitRecord& unit = State().gateway.units[u];

    const bool statusOk = ReadHoldingRegisters(StatusBlockRegister(n), STATUS_BLOCK_COUNT) == 1;
    // After a failed read the buffer is all zeros: the unit counts as not found.
    const UnitDescriptor found = DecodeUnitDescriptor(g_registers[STATUS_FOUND]);
    unit.second_type = found.type;
    unit.second_exp = found.expansions;
    const bool valuesOk = ReadHoldingRegisters(LiveValuesRegister(n), MODBUS_MAX_REGISTERS) == 1;
    for (int c = 0; c < CHANNEL_COUNT; ++c) StoreReading(unit.channels[c], valuesOk, g_registers[c]);

    // Only the cells the panel has are drawn, and a unit found other than configured is drawn
    // blank, whatever its type: its values belong to another unit.
    if (unit.SLAVE_TYPE == UNIT_KX913) {
        const int cells = ChannelsInUse(unit);
        const int foundCells = found.type == UNIT_KX913 ? 16 * static_cast<int>(found.expansions + 1) : 0;
        for (int c = 0; c < cells; ++c) DrawAnalogValue(u, c, c < foundCells ? 1 : 0);
    } else if (unit.SLAVE_TYPE == UNIT_KX927) {
        const bool present = found.type == UNIT_KX927;
        for (int c = 0; c < DIGITAL_CHANNELS; ++c) DrawDigitalState(u, c, present ? DigitalFlag(unit, c, 1) : 0);
    }

    const bool success = statusOk && valuesOk;
    g_modbusUnit = (u + 1) % UNIT_COUNT;
    SetStatusMessage(PollStatusText(n, -1, success));
    if (!success) NoteDeviceGone(path);
    return success ? 1 : 0;
}

void SetLiveTestClock(std::function<long long()> clock) { g_clock = std::move(clock); }

std::string PortGoneText(const std::string& path) { return GetText(127) + " " + path; }

int ReadHoldingRegisters(int first, int count)
{
    g_registers.fill(0);
    if (first < 0 || first > 0xFFFF || count < 1 || count > MODBUS_MAX_REGISTERS) return 0;
    const std::uint8_t slave = static_cast<std::uint8_t>(State().current.MASTER_MOD_ADDR & 0xFF);
    const std::vector<std::uint8_t> request =
        ReadHoldingRegistersRequest(slave, static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(count));
    std::vector<std::uint8_t> reply;
    const int payload = ModbusExchange(request.data(), request.size(), reply);
    return DecodeHoldingRegisters(reply.data(), reply.size(), payload, count, g_registers) ? 1 : 0;
}

const ModbusRegisters& ModbusRegisterBuffer() { return g_registers; }

} // namespace tarn
