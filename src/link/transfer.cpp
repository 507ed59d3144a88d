#include "link/transfer.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/comparison.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <cstdint>
#include <string>

namespace tarn {

namespace {

// Kept between ticks; lives from StartTransfer to the end step.
struct Transfer {
    bool running = false;
    int mode = MODE_IDLE;
    int ok = 1;        // 0 after the first failed command
    int unit = -1;     // -1 master step, 0..3 unit index, 4 all units done
    int channel = 0;   // -1 unit step, 0..63 channel step
    TransferOutcome outcome = TransferOutcome::None;
};

Transfer g_transfer;

bool Reading(int mode) { return mode != MODE_WRITE_GATEWAY; }

// Values the gateway reports outside the ranges the configuration accepts everywhere else
// (dialogs, files, the view's tables) are refused like a garbled reply: such a value would
// index past the choice lists and the repeater matrix, and a saved copy could never be read
// back. The transfer then ends with text 395 and the current image stays as it was.
int ReadSettingInRange(int unit, int setting, std::uint32_t& value, std::uint32_t low, std::uint32_t high)
{
    std::uint32_t v = value;  // a reply without a number leaves the field as it was
    if (!ReadSetting(unit, setting, v) || v < low || v > high) return 0;
    value = v;
    return 1;
}

int ReadChannelWord(int unit, int channel, std::uint32_t& word)
{
    std::uint32_t v = word;
    if (!ReadChannelConfig(unit, channel, v) || v > 0xFFFF) return 0;
    word = v;
    return 1;
}

int ReadTagInto(int unit, int channel, char (&field)[TAG_CAPACITY])
{
    std::string tag;
    if (!ReadTag(unit, channel, tag)) return 0;
    SetFieldText(field, tag);
    return 1;
}

std::uint32_t OptionsWord(const SystemConfiguration& c)
{
    return (c.MASTER_CABLE & 3) | (c.MASTER_FREQ & 1) << 2 | (c.MASTER_MOD_CONFIG & 1) << 3;
}

std::uint32_t RepeaterWord(const SystemConfiguration& c)
{
    std::uint32_t word = (c.MASTER_REPT & 7) << 12;
    for (int i = 0; i < REPEATER_COUNT; ++i) word |= (c.MASTER_REPT_MAT[i] & 3) << (3 * i);
    return word;
}

void ReadMaster(SystemConfiguration& g, int& ok)
{
    // Each word starts from the fields it carries: a reply without a number leaves them as they were.
    if (ok) ok = ReadSetting(0, 1, g.master_param1);
    if (ok) ok = ReadSetting(0, 2, g.master_param2);
    std::uint32_t v = OptionsWord(g);
    if (ok && (ok = ReadSetting(0, 3, v))) {
        g.MASTER_CABLE = v & 3;
        g.MASTER_FREQ = (v >> 2) & 1;
        g.MASTER_MOD_CONFIG = (v >> 3) & 1;
    }
    v = RepeaterWord(g);
    if (ok && (ok = ReadSetting(0, 4, v))) {
        const std::uint32_t repeaters = (v >> 12) & 7;
        ok = repeaters <= REPEATER_COUNT ? 1 : 0;
        if (ok) {
            g.MASTER_REPT = repeaters;
            for (int i = 0; i < REPEATER_COUNT; ++i) g.MASTER_REPT_MAT[i] = (v >> (3 * i)) & 3;
        }
    }
    if (ok) ok = ReadSettingInRange(0, 9, g.MASTER_MOD_ADDR, 1, 250);
    if (ok) ok = ReadSettingInRange(0, 10, g.MASTER_MOD_BAUD, 0, 5);
    if (ok) ok = ReadSettingInRange(0, 11, g.MASTER_MOD_FORM, 0, 3);
    if (ok) ok = ReadTagInto(0, 1, g.MASTER_TAG);
}

void WriteMaster(const SystemConfiguration& g, int& ok)
{
    if (ok) ok = WriteSetting(0, 3, OptionsWord(g));
    if (ok) ok = WriteSetting(0, 4, RepeaterWord(g));
    if (ok) ok = WriteSetting(0, 9, g.MASTER_MOD_ADDR);
    if (ok) ok = WriteSetting(0, 10, g.MASTER_MOD_BAUD);
    if (ok) ok = WriteSetting(0, 11, g.MASTER_MOD_FORM);
    if (ok) ok = WriteTag(0, 1, std::string(FieldText(g.MASTER_TAG)));
}

void ReadUnit(UnitRecord& unit, int number, int& ok)
{
    std::uint32_t v = EncodeUnitDescriptor(unit.SLAVE_TYPE, unit.SLAVE_EXP);
    if (ok && (ok = ReadSetting(number, 3, v))) {
        const UnitDescriptor d = DecodeUnitDescriptor(v);
        unit.SLAVE_TYPE = d.type;
        unit.SLAVE_EXP = d.expansions;
    }
    v = ToGateway16(unit.SLAVE_CJC);
    if (ok && (ok = ReadSettingInRange(number, 16, v, 0, 0xFFFF))) {
        const std::int32_t reference = FromGateway16(v);
        ok = reference >= -400 && reference <= 1000 ? 1 : 0;
        if (ok) unit.SLAVE_CJC = reference;
    }
}

void WriteUnit(const UnitRecord& unit, int number, int& ok)
{
    if (ok) ok = WriteSetting(number, 3, EncodeUnitDescriptor(unit.SLAVE_TYPE, unit.SLAVE_EXP));
    if (ok) ok = WriteSetting(number, 16, ToGateway16(unit.SLAVE_CJC));
}

void ReadChannel(ChannelRecord& channel, int unit, int number, int& ok)
{
    if (ok) ok = ReadChannelWord(unit, number, channel.word);
    if (ok) ok = ReadTagInto(unit, number, channel.tag);
}

void WriteChannel(const ChannelRecord& channel, int unit, int number, int& ok)
{
    if (ok) ok = WriteChannelConfig(unit, number, channel.word);
    if (ok) ok = WriteTag(unit, number, std::string(FieldText(channel.tag)));
}

std::string ChannelStatus(int text, int unit, int channel)
{
    return GetText(text) + " " + std::to_string(unit) + " " + GetText(364) + " " + std::to_string(channel);
}

void FailureEnd()
{
    CloseSerialLink();
    UI().SetWaitCursor(false);
    SetStatusMessage(std::string());
    // The percentage reached would otherwise stay in the field until the next transfer.
    SetProgress(0);
    State().AppMode = MODE_IDLE;
    g_transfer.running = false;
    g_transfer.outcome = TransferOutcome::Failed;
    RepaintMainWindow();
    ShowErrorBox(GetText(395));
}

void SuccessEnd()
{
    AppState& state = State();
    CloseSerialLink();
    SetStatusMessage(std::string());
    UI().SetWaitCursor(false);
    g_transfer.running = false;
    g_transfer.outcome = TransferOutcome::Succeeded;
    switch (g_transfer.mode) {
    case MODE_READ_GATEWAY:
        state.AppMode = MODE_IDLE;
        CopyConfiguration(state.current, state.gateway);
        state.GatewayModified = false;
        state.FileModified = false;
        break;
    case MODE_WRITE_GATEWAY:
        state.AppMode = MODE_IDLE;
        state.GatewayModified = false;
        break;
    case MODE_COMPARE_GATEWAY:
        state.AppMode = MODE_IDLE;
        state.comparisonReport = GatewayComparisonHeader();
        state.comparisonErrors = CompareConfigurations(state.comparisonReport, state.current, state.gateway);
        UI().ShowComparisonReport(state.comparisonReport);
        break;
    default: {  // MODE_PREPARE_SERIAL_TEST
        bool any_unit = false;
        for (const UnitRecord& unit : state.gateway.units) any_unit = any_unit || unit.SLAVE_TYPE != UNIT_NONE;
        if (any_unit) {
            state.AppMode = MODE_SERIAL_TEST;
        } else {
            ShowErrorBox(GetText(118));
            state.AppMode = MODE_IDLE;
        }
        break;
    }
    }
    SetProgress(0);
    RepaintMainWindow();
}

} // namespace

int StartTransfer()
{
    AppState& state = State();
    if (state.AppMode < MODE_READ_GATEWAY || state.AppMode > MODE_PREPARE_SERIAL_TEST) return 0;
    if (!OpenSerialLinkWithMessage()) {
        state.AppMode = MODE_IDLE;
        g_transfer.running = false;
        g_transfer.outcome = TransferOutcome::Failed;
        // The caller may already have painted the busy mode; bring the full menu bar back.
        RepaintMainWindow();
        return 0;
    }
    UI().SetWaitCursor(true);
    g_transfer.mode = state.AppMode;
    g_transfer.unit = -1;
    g_transfer.channel = 0;
    g_transfer.ok = 1;
    g_transfer.running = true;
    g_transfer.outcome = TransferOutcome::Running;
    RepaintMainWindow();
    return 1;
}

bool TransferStep()
{
    Transfer& t = g_transfer;
    if (!t.running) return false;
    if (!t.ok) {
        FailureEnd();
        return false;
    }
    if (t.unit >= UNIT_COUNT) {
        SuccessEnd();
        return false;
    }

    SystemConfiguration& g = State().gateway;
    const bool reading = Reading(t.mode);
    if (t.unit < 0) {
        SetStatusMessage(GetText(reading ? 360 : 361));
        if (reading) ReadMaster(g, t.ok);
        else WriteMaster(g, t.ok);
        t.unit = 0;
        t.channel = -1;
        return true;
    }

    UnitRecord& unit = g.units[t.unit];
    const int unit_number = t.unit + 1;
    if (t.channel < 0) {
        if (reading) ReadUnit(unit, unit_number, t.ok);
        else WriteUnit(unit, unit_number, t.ok);
        t.channel = 0;
        return true;
    }

    SetStatusMessage(ChannelStatus(reading ? 362 : 363, unit_number, t.channel + 1));
    if (reading) ReadChannel(unit.channels[t.channel], unit_number, t.channel + 1, t.ok);
    else WriteChannel(unit.channels[t.channel], unit_number, t.channel + 1, t.ok);
    SetProgress((t.unit * CHANNEL_COUNT + t.channel) * 100 / (UNIT_COUNT * CHANNEL_COUNT));
    if (++t.channel == CHANNEL_COUNT) {
        ++t.unit;
        t.channel = -1;
        if (t.mode == MODE_PREPARE_SERIAL_TEST) RepaintMainWindow();
    }
    return true;
}

bool TransferRunning() { return g_transfer.running; }

TransferOutcome LastTransferOutcome() { return g_transfer.outcome; }

int ReadConfigurationFromGateway()
{
    AppState& state = State();
    if ((state.FileModified || state.GatewayModified) && !AskProceedAnyway(GetText(402))) return 0;
    state.AppMode = MODE_READ_GATEWAY;
    return StartTransfer();
}

int WriteConfigurationToGateway()
{
    AppState& state = State();
    if (!AskYesNo(GetText(403))) return 0;
    CopyConfiguration(state.gateway, state.current);
    state.AppMode = MODE_WRITE_GATEWAY;
    return StartTransfer();
}

int CompareWithGateway()
{
    State().AppMode = MODE_COMPARE_GATEWAY;
    return StartTransfer();
}

} // namespace tarn
