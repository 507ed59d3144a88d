#include "diag/live_test.h"

#include "config/channel_word.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/transfer.h"
#include "text/command_ids.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace tarn {

namespace {

constexpr int DIGITAL_GROUPS = 4;
constexpr int GROUP_SIZE = 8;
constexpr int DIGITAL_CHANNELS = DIGITAL_GROUPS * GROUP_SIZE;

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

int DigitalFlag(const UnitRecord& unit, int channel, int flagWhenConfigured)
{
    return unit.channels[channel].word != 0 ? flagWhenConfigured : 0;
}

bool UnitFoundAs(Link& link, int unitNumber, std::uint32_t type, bool& readOk)
{
    std::uint32_t word = 0;
    readOk = ReadSetting(link, unitNumber, 1, word) == 1;
    // A check that could not be made counts as a mismatch: nothing is known of the unit.
    return readOk && DecodeUnitDescriptor(word).type == type;
}

} // namespace

LiveTest::LiveTest(GatewayLinks& links, TransferEngine& transfer)
    : links_(links), transfer_(transfer), state_(links.state())
{
}

void LiveTest::DrawDigitalGroup(int u, int group, int flagWhenConfigured)
{
    const UnitRecord& unit = state_.gateway.units[u];
    for (int c = GROUP_SIZE * group; c < GROUP_SIZE * (group + 1); ++c)
        cells_.push_back({false, u, c, DigitalFlag(unit, c, flagWhenConfigured)});
}

void LiveTest::BlankUnit(int u, std::uint32_t type, int analogChannels)
{
    if (type == UNIT_KX913)
        for (int c = 0; c < analogChannels; ++c) cells_.push_back({true, u, c, 0});
    else
        for (int c = 0; c < DIGITAL_CHANNELS; ++c) cells_.push_back({false, u, c, 0});
}

long long LiveTest::NowMs() const
{
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Every value read so far turns stale; the cells that show one are drawn again.
void LiveTest::ShowValuesStale()
{
    for (int u = 0; u < UNIT_COUNT; ++u) {
        UnitRecord& unit = state_.gateway.units[u];
        const bool analog = unit.SLAVE_TYPE == UNIT_KX913;
        if (!analog && unit.SLAVE_TYPE != UNIT_KX927) continue;
        const int records = analog ? ChannelsInUse(unit) : DIGITAL_GROUPS;
        for (int c = 0; c < records; ++c) {
            ChannelRecord& record = unit.channels[c];
            if (record.live_state != LIVE_READ) continue;
            record.live_state = LIVE_STALE;
            if (analog) cells_.push_back({true, u, c, 1});
            else DrawDigitalGroup(u, c, 1);
        }
    }
}

// After a failed step: a device that has gone is waited for.
void LiveTest::NoteDeviceGone(const Link& link, const std::string& path)
{
    if (!link.Gone()) return;
    gone_ = {true, NowMs()};
    ShowValuesStale();
    state_.ui->SetStatusMessage(PortGoneText(path));
}

// While the device is gone: true when the port has been opened again and the step may poll.
bool LiveTest::PortBack(bool serial, const std::string& path)
{
    if (!gone_.gone) return true;
    const long long now = NowMs();
    if (now - gone_.lastTryMs >= LIVE_REOPEN_MS) {
        gone_.lastTryMs = now;
        if (!(serial ? links_.OpenSerial() : links_.OpenModbus())) {
            gone_.gone = false;
            return true;
        }
    }
    state_.ui->SetStatusMessage(PortGoneText(path));
    return false;
}

void LiveTest::ClearUnitTypes()
{
    for (UnitRecord& unit : state_.gateway.units) unit.SLAVE_TYPE = UNIT_NONE;
}

bool LiveTest::AnyUnit() const
{
    for (const UnitRecord& unit : state_.gateway.units)
        if (unit.SLAVE_TYPE != UNIT_NONE) return true;
    return false;
}

std::optional<int> LiveTest::SerialStart()
{
    if (state_.TestRunning) return std::nullopt;
    // A test that cannot reach the gateway does not poll: every step would only fail.
    if (!links_.OpenSerialWithMessage()) return std::nullopt;
    gone_ = {};
    state_.TestRunning = true;
    state_.RequestRefresh(ViewRefresh::MenuBar);
    return SERIAL_POLL_MS;
}

std::optional<int> LiveTest::SerialStop()
{
    links_.CloseSerial();
    state_.TestRunning = false;
    state_.RequestRefresh(ViewRefresh::MenuBar);
    return 0;
}

std::optional<int> LiveTest::ModbusStart()
{
    if (state_.TestRunning) return std::nullopt;
    state_.TestRunning = true;
    state_.RequestRefresh(ViewRefresh::MenuBar);
    return MODBUS_POLL_MS;
}

std::optional<int> LiveTest::ModbusStop()
{
    state_.TestRunning = false;
    state_.RequestRefresh(ViewRefresh::MenuBar);
    return 0;
}

std::optional<int> LiveTest::LeaveTest()
{
    gone_ = {};
    links_.CloseSerial();
    links_.CloseModbus();
    state_.TestRunning = false;
    state_.mode = AppMode::Idle;
    state_.ui->SetStatusMessage(std::string());
    state_.RequestRefresh(ViewRefresh::Full);
    return 0;
}

// The start reads of one unit into the gateway image; false when one failed.
bool LiveTest::ReadUnitAtStart(int u)
{
    UnitRecord& unit = state_.gateway.units[u];
    const int n = u + 1;
    const RegisterRead status = ReadRegisters(StatusBlockRegister(n), STATUS_BLOCK_COUNT);
    if (!status.ok()) return false;
    const UnitDescriptor programmed = DecodeUnitDescriptor(status.registers[STATUS_PROGRAMMED]);
    const UnitDescriptor found = DecodeUnitDescriptor(status.registers[STATUS_FOUND]);
    unit.SLAVE_TYPE = programmed.type;
    unit.SLAVE_EXP = programmed.expansions;
    unit.second_type = found.type;
    unit.second_exp = found.expansions;
    const RegisterRead words = ReadRegisters(ChannelWordsRegister(n), MODBUS_MAX_REGISTERS);
    if (!words.ok()) return false;
    for (int c = 0; c < CHANNEL_COUNT; ++c) unit.channels[c].word = words.registers[c];
    return true;
}

std::string PollStatusText(int unitNumber, int channelNumber, bool success)
{
    if (!success) return GetText(TEXT_GATEWAY_UNREACHABLE);
    std::string text = GetText(TEXT_POLLING_SLAVE) + " " + std::to_string(unitNumber);
    if (channelNumber != -1) text += " - " + GetText(TEXT_POLLING_CHANNEL) + " " + std::to_string(channelNumber);
    return text;
}

int LiveTest::StartSerial()
{
    AppState& state = state_;
    if (!IsIdle(state.mode)) return 0;
    ClearUnitTypes();
    state.mode = AppMode::PrepareSerialTest;
    state.TestRunning = false;
    state.RequestRefresh(ViewRefresh::Full);
    if (!transfer_.Start()) return 0;
    serial_ = SerialCursor{};
    gone_ = {};
    return 1;
}

int LiveTest::StartModbus()
{
    AppState& state = state_;
    UserInterface& ui = *state.ui;
    if (!IsIdle(state.mode)) return 0;
    if (!links_.OpenModbusWithMessage()) return 0;
    ClearUnitTypes();
    state.mode = AppMode::ModbusTest;
    state.TestRunning = false;

    bool ok = true;
    for (int u = 0; u < UNIT_COUNT && ok; ++u) ok = ReadUnitAtStart(u);
    if (!ok) {
        links_.CloseModbus();
        state.mode = AppMode::Idle;
        ShowErrorBox(ui, GetText(TEXT_GATEWAY_UNREACHABLE));
        state.RequestRefresh(ViewRefresh::Full);
        return 0;
    }
    modbusUnit_ = 0;
    gone_ = {};
    ui.SetStatusMessage(std::string());
    if (!AnyUnit()) {
        links_.CloseModbus();
        state.mode = AppMode::Idle;
        ShowErrorBox(ui, GetText(TEXT_NO_SLAVES_CONNECTED));
        state.RequestRefresh(ViewRefresh::Full);
        return 0;
    }
    state.RequestRefresh(ViewRefresh::Full);
    return 1;
}

std::optional<int> LiveTest::Command(int commandId)
{
    const AppMode mode = state_.mode;
    if (mode == AppMode::SerialTest) {
        if (commandId == CMD_SERIAL_TEST_START) return SerialStart();
        if (commandId == CMD_SERIAL_TEST_STOP) return SerialStop();
        if (commandId == CMD_SERIAL_TEST_EXIT) return LeaveTest();
    } else if (mode == AppMode::ModbusTest) {
        if (commandId == CMD_MODBUS_TEST_START) return ModbusStart();
        if (commandId == CMD_MODBUS_TEST_STOP) return ModbusStop();
        if (commandId == CMD_MODBUS_TEST_EXIT) return LeaveTest();
    }
    return std::nullopt;
}

PollStep LiveTest::SerialPollStep()
{
    cells_.clear();
    if (!Polling(AppMode::SerialTest)) return {};
    UserInterface& ui = *state_.ui;
    const std::string path = state_.serialPort.DevicePath();
    if (!PortBack(true, path)) return {};
    // In the tick that ends the reading phase the link is closed until Start opens it again.
    if (!links_.Serial().IsOpen()) return {};
    Link& link = links_.Serial();
    SerialCursor& s = serial_;
    SystemConfiguration& g = state_.gateway;

    if (s.unit < 0) {
        s.unit = 0;
        s.item = 0;
        s.previousUnit = -1;
    }
    if (s.previousUnit >= 0) {
        if (s.previousType == UNIT_KX913) cells_.push_back({true, s.previousUnit, s.previousItem, 1});
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
    RecordsRead read;
    if (unit.SLAVE_TYPE == UNIT_KX913 || unit.SLAVE_TYPE == UNIT_KX927) {
        const bool analog = unit.SLAVE_TYPE == UNIT_KX913;
        const int items = analog ? ChannelsInUse(unit) : DIGITAL_GROUPS;
        bool matches = true;
        if (s.item == 0) matches = UnitFoundAs(link, n, unit.SLAVE_TYPE, success);
        if (!matches) {
            BlankUnit(u, unit.SLAVE_TYPE, items);
            status = PollStatusText(n, -1, success);
            s.previousUnit = -1;
            unitDone = true;
        } else {
            std::uint32_t value = 0;
            success = ReadData(link, n, s.item + 1, value) == 1;
            StoreReading(unit.channels[s.item], success, value);
            if (success) read = {u, s.item, 1};
            if (analog) {
                cells_.push_back({true, u, s.item, 2});
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
    ui.SetStatusMessage(status);
    if (!success) NoteDeviceGone(link, path);
    return {success ? 1 : 0, std::move(cells_), read};
}

PollStep LiveTest::ModbusPollStep()
{
    cells_.clear();
    if (!Polling(AppMode::ModbusTest)) return {};
    UserInterface& ui = *state_.ui;
    const std::string path = state_.modbusPort.DevicePath();
    if (!PortBack(false, path)) return {};
    if (!links_.Modbus().IsOpen()) return {};
    const int u = modbusUnit_;
    const int n = u + 1;
    UnitRecord& unit = state_.gateway.units[u];

    const RegisterRead status = ReadRegisters(StatusBlockRegister(n), STATUS_BLOCK_COUNT);
    // After a failed read the registers are all zeros: the unit counts as not found.
    const UnitDescriptor found = DecodeUnitDescriptor(status.registers[STATUS_FOUND]);
    unit.second_type = found.type;
    unit.second_exp = found.expansions;
    const RegisterRead values = ReadRegisters(LiveValuesRegister(n), MODBUS_MAX_REGISTERS);
    for (int c = 0; c < CHANNEL_COUNT; ++c) StoreReading(unit.channels[c], values.ok(), values.registers[c]);

    // Only the cells the panel has are drawn, and a unit found other than configured is drawn
    // blank, whatever its type: its values belong to another unit.
    RecordsRead read;
    if (unit.SLAVE_TYPE == UNIT_KX913) {
        const int cells = ChannelsInUse(unit);
        const int foundCells = found.type == UNIT_KX913 ? 16 * static_cast<int>(found.expansions + 1) : 0;
        for (int c = 0; c < cells; ++c) cells_.push_back({true, u, c, c < foundCells ? 1 : 0});
        read = {u, 0, std::min(cells, foundCells)};
    } else if (unit.SLAVE_TYPE == UNIT_KX927) {
        const bool present = found.type == UNIT_KX927;
        for (int c = 0; c < DIGITAL_CHANNELS; ++c) cells_.push_back({false, u, c, present ? DigitalFlag(unit, c, 1) : 0});
        read = {u, 0, present ? DIGITAL_GROUPS : 0};
    }
    if (!values.ok()) read = {};

    const bool success = status.ok() && values.ok();
    modbusUnit_ = (u + 1) % UNIT_COUNT;
    ui.SetStatusMessage(PollStatusText(n, -1, success));
    if (!success) NoteDeviceGone(links_.Modbus(), path);
    return {success ? 1 : 0, std::move(cells_), read};
}

std::string PortGoneText(const std::string& path) { return GetText(TEXT_PORT_GONE_WAITING) + " " + path; }

RegisterRead LiveTest::ReadRegisters(int first, int count)
{
    const std::uint8_t slave = static_cast<std::uint8_t>(state_.current.MASTER_MOD_ADDR & 0xFF);
    return links_.Modbus().ReadHoldingRegisters(slave, first, count);
}

} // namespace tarn
