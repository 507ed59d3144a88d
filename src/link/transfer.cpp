#include "link/transfer.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/comparison.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <csignal>
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
    bool cut = false;  // a stop request skipped a command of a step
    TransferOutcome outcome = TransferOutcome::None;
};

Transfer g_transfer;

// Set from a signal handler: written and read only as a whole.
volatile std::sig_atomic_t g_stopRequested = 0;

// A write stopped part way leaves some items new and the rest as they were, and the gateway
// runs the installation with that mixture.
constexpr int TEXT_PARTLY_WRITTEN = 398;

// Whether the next command of a step may run: none after a failure or a stop request.
bool Go(int ok)
{
    if (!ok) return false;
    if (!g_stopRequested) return true;
    g_transfer.cut = true;
    return false;
}

bool Reading(int mode) { return mode != MODE_WRITE_GATEWAY; }

// The gateway's settings and channel words are 16-bit.
constexpr std::uint32_t WORD_MAX = 0xFFFF;

// Values the gateway reports outside the ranges the configuration accepts everywhere else
// (dialogs, files, the view's tables) are refused like a garbled reply: such a value would
// index past the choice lists and the repeater matrix, and a saved copy could never be read
// back. So is a reply without a number: the field would keep what it held before and be taken
// for the gateway's. The transfer then ends with text 395 and the current image stays as it was.
int ReadSettingInRange(int unit, int setting, std::uint32_t& value, std::uint32_t low = 0, std::uint32_t high = WORD_MAX)
{
    return ReadSettingWithin(unit, setting, low, high, value);
}

int ReadChannelWord(int unit, int channel, std::uint32_t& word)
{
    return ReadChannelConfigWithin(unit, channel, 0, WORD_MAX, word);
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
    if (Go(ok)) ok = ReadSettingInRange(0, 1, g.master_param1);
    if (Go(ok)) ok = ReadSettingInRange(0, 2, g.master_param2);
    std::uint32_t v = 0;
    if (Go(ok) && (ok = ReadSettingInRange(0, 3, v))) {
        g.MASTER_CABLE = v & 3;
        g.MASTER_FREQ = (v >> 2) & 1;
        g.MASTER_MOD_CONFIG = (v >> 3) & 1;
    }
    if (Go(ok) && (ok = ReadSettingInRange(0, 4, v))) {
        const std::uint32_t repeaters = (v >> 12) & 7;
        ok = repeaters <= REPEATER_COUNT ? 1 : 0;
        if (ok) {
            g.MASTER_REPT = repeaters;
            for (int i = 0; i < REPEATER_COUNT; ++i) g.MASTER_REPT_MAT[i] = (v >> (3 * i)) & 3;
        }
    }
    if (Go(ok)) ok = ReadSettingInRange(0, 9, g.MASTER_MOD_ADDR, 1, 250);
    if (Go(ok)) ok = ReadSettingInRange(0, 10, g.MASTER_MOD_BAUD, 0, 5);
    if (Go(ok)) ok = ReadSettingInRange(0, 11, g.MASTER_MOD_FORM, 0, 3);
    if (Go(ok)) ok = ReadTagInto(0, 1, g.MASTER_TAG);
}

void WriteMaster(const SystemConfiguration& g, int& ok)
{
    if (Go(ok)) ok = WriteSetting(0, 3, OptionsWord(g));
    if (Go(ok)) ok = WriteSetting(0, 4, RepeaterWord(g));
    if (Go(ok)) ok = WriteSetting(0, 9, g.MASTER_MOD_ADDR);
    if (Go(ok)) ok = WriteSetting(0, 10, g.MASTER_MOD_BAUD);
    if (Go(ok)) ok = WriteSetting(0, 11, g.MASTER_MOD_FORM);
    if (Go(ok)) ok = WriteTag(0, 1, std::string(FieldText(g.MASTER_TAG)));
}

void ReadUnit(UnitRecord& unit, int number, int& ok)
{
    std::uint32_t v = 0;
    if (Go(ok) && (ok = ReadSettingInRange(number, 3, v))) {
        const UnitDescriptor d = DecodeUnitDescriptor(v);
        unit.SLAVE_TYPE = d.type;
        unit.SLAVE_EXP = d.expansions;
    }
    if (Go(ok) && (ok = ReadSettingInRange(number, 16, v))) {
        const std::int32_t reference = FromGateway16(v);
        ok = reference >= -400 && reference <= 1000 ? 1 : 0;
        if (ok) unit.SLAVE_CJC = reference;
    }
}

void WriteUnit(const UnitRecord& unit, int number, int& ok)
{
    if (Go(ok)) ok = WriteSetting(number, 3, EncodeUnitDescriptor(unit.SLAVE_TYPE, unit.SLAVE_EXP));
    if (Go(ok)) ok = WriteSetting(number, 16, ToGateway16(unit.SLAVE_CJC));
}

void ReadChannel(ChannelRecord& channel, int unit, int number, int& ok)
{
    if (Go(ok)) ok = ReadChannelWord(unit, number, channel.word);
    if (Go(ok)) ok = ReadTagInto(unit, number, channel.tag);
}

void WriteChannel(const ChannelRecord& channel, int unit, int number, int& ok)
{
    if (Go(ok)) ok = WriteChannelConfig(unit, number, channel.word);
    if (Go(ok)) ok = WriteTag(unit, number, std::string(FieldText(channel.tag)));
}

std::string ChannelStatus(int text, int unit, int channel)
{
    return GetText(text) + " " + std::to_string(unit) + " " + GetText(364) + " " + std::to_string(channel);
}

// The end of a transfer that did not run to its end: after a failed command (text 395) or a
// stop request. A write may have changed any part of the gateway by then.
void UnfinishedEnd(TransferOutcome outcome)
{
    CloseSerialLink();
    UI().SetWaitCursor(false);
    SetStatusMessage(std::string());
    // The percentage reached would otherwise stay in the field until the next transfer.
    SetProgress(0);
    State().AppMode = MODE_IDLE;
    g_transfer.running = false;
    g_transfer.outcome = outcome;
    RepaintMainWindow();
    const bool writing = g_transfer.mode == MODE_WRITE_GATEWAY;
    if (outcome == TransferOutcome::Failed)
        ShowErrorBox(writing ? GetText(395) + "\n\n" + GetText(TEXT_PARTLY_WRITTEN) : GetText(395));
    else if (writing)
        ShowErrorBox(GetText(TEXT_PARTLY_WRITTEN));
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
    g_transfer.cut = false;
    g_stopRequested = 0;
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
        UnfinishedEnd(TransferOutcome::Failed);
        return false;
    }
    // A stop that came after the last command of the last step has cut nothing short.
    if (t.cut || (g_stopRequested && t.unit < UNIT_COUNT)) {
        UnfinishedEnd(TransferOutcome::Stopped);
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

void RequestTransferStop() { g_stopRequested = 1; }

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
