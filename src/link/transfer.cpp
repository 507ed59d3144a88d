#include "link/transfer.h"

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/comparison.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <csignal>
#include <cstdint>
#include <string>

namespace tarn {

namespace {

// The gateway's settings and channel words are 16-bit.
constexpr std::uint32_t WORD_MAX = 0xFFFF;

// Values the gateway reports outside the ranges the configuration accepts everywhere else
// (dialogs, files, the view's tables) are refused like a garbled reply: such a value would
// index past the choice lists and the repeater matrix, and a saved copy could never be read
// back. So is a reply without a number: the field would keep what it held before and be taken
// for the gateway's. The transfer then ends with text 395 and the current image stays as it was.
int ReadSettingInRange(Link& link, int unit, int setting, std::uint32_t& value, std::uint32_t low = 0, std::uint32_t high = WORD_MAX)
{
    return ReadSettingWithin(link, unit, setting, low, high, value);
}

int ReadChannelWord(Link& link, int unit, int channel, std::uint32_t& word)
{
    return ReadChannelConfigWithin(link, unit, channel, 0, WORD_MAX, word);
}

int ReadTagInto(Link& link, int unit, int channel, char (&field)[TAG_CAPACITY])
{
    std::string tag;
    if (!ReadTag(link, unit, channel, tag)) return 0;
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

std::string ChannelStatus(int text, int unit, int channel)
{
    return GetText(text) + " " + std::to_string(unit) + " " + GetText(TEXT_TRANSFER_CHANNEL) + " " + std::to_string(channel);
}

} // namespace

TransferEngine::TransferEngine(GatewayLinks& links) : links_(links), state_(links.state()) {}

void TransferEngine::ReadMaster(SystemConfiguration& g, int& ok)
{
    Link& link = links_.Serial();
    if (Go(ok)) ok = ReadSettingInRange(link, 0, 1, g.master_param1);
    if (Go(ok)) ok = ReadSettingInRange(link, 0, 2, g.master_param2);
    std::uint32_t v = 0;
    if (Go(ok) && (ok = ReadSettingInRange(link, 0, 3, v))) {
        g.MASTER_CABLE = v & 3;
        g.MASTER_FREQ = (v >> 2) & 1;
        g.MASTER_MOD_CONFIG = (v >> 3) & 1;
    }
    if (Go(ok) && (ok = ReadSettingInRange(link, 0, 4, v))) {
        const std::uint32_t repeaters = (v >> 12) & 7;
        ok = repeaters <= REPEATER_COUNT ? 1 : 0;
        if (ok) {
            g.MASTER_REPT = repeaters;
            for (int i = 0; i < REPEATER_COUNT; ++i) g.MASTER_REPT_MAT[i] = (v >> (3 * i)) & 3;
        }
    }
    if (Go(ok)) ok = ReadSettingInRange(link, 0, 9, g.MASTER_MOD_ADDR, 1, 250);
    if (Go(ok)) ok = ReadSettingInRange(link, 0, 10, g.MASTER_MOD_BAUD, 0, 5);
    if (Go(ok)) ok = ReadSettingInRange(link, 0, 11, g.MASTER_MOD_FORM, 0, 3);
    if (Go(ok)) ok = ReadTagInto(link, 0, 1, g.MASTER_TAG);
}

void TransferEngine::WriteMaster(const SystemConfiguration& g, int& ok)
{
    Link& link = links_.Serial();
    if (Go(ok)) ok = WriteSetting(link, 0, 3, OptionsWord(g));
    if (Go(ok)) ok = WriteSetting(link, 0, 4, RepeaterWord(g));
    if (Go(ok)) ok = WriteSetting(link, 0, 9, g.MASTER_MOD_ADDR);
    if (Go(ok)) ok = WriteSetting(link, 0, 10, g.MASTER_MOD_BAUD);
    if (Go(ok)) ok = WriteSetting(link, 0, 11, g.MASTER_MOD_FORM);
    if (Go(ok)) ok = WriteTag(link, 0, 1, std::string(FieldText(g.MASTER_TAG)));
}

void TransferEngine::ReadUnit(UnitRecord& unit, int number, int& ok)
{
    Link& link = links_.Serial();
    std::uint32_t v = 0;
    if (Go(ok) && (ok = ReadSettingInRange(link, number, 3, v))) {
        const UnitDescriptor d = DecodeUnitDescriptor(v);
        unit.SLAVE_TYPE = d.type;
        unit.SLAVE_EXP = d.expansions;
    }
    if (Go(ok) && (ok = ReadSettingInRange(link, number, 16, v))) {
        const std::int32_t reference = FromGateway16(v);
        ok = reference >= -400 && reference <= 1000 ? 1 : 0;
        if (ok) unit.SLAVE_CJC = reference;
    }
}

void TransferEngine::WriteUnit(const UnitRecord& unit, int number, int& ok)
{
    Link& link = links_.Serial();
    if (Go(ok)) ok = WriteSetting(link, number, 3, EncodeUnitDescriptor(unit.SLAVE_TYPE, unit.SLAVE_EXP));
    if (Go(ok)) ok = WriteSetting(link, number, 16, ToGateway16(unit.SLAVE_CJC));
}

void TransferEngine::ReadChannel(ChannelRecord& channel, int unit, int number, int& ok)
{
    Link& link = links_.Serial();
    if (Go(ok)) ok = ReadChannelWord(link, unit, number, channel.word);
    if (Go(ok)) ok = ReadTagInto(link, unit, number, channel.tag);
}

void TransferEngine::WriteChannel(const ChannelRecord& channel, int unit, int number, int& ok)
{
    Link& link = links_.Serial();
    if (Go(ok)) ok = WriteChannelConfig(link, unit, number, channel.word);
    if (Go(ok)) ok = WriteTag(link, unit, number, std::string(FieldText(channel.tag)));
}

// Whether the next command of a step may run: none after a failure or a stop request.
bool TransferEngine::Go(int ok)
{
    if (!ok) return false;
    if (!StopRequested()) return true;
    cut_ = true;
    return false;
}

// The end of a transfer that did not run to its end: after a failed command (text 395) or a
// stop request. A write may have changed any part of the gateway by then.
void TransferEngine::UnfinishedEnd(TransferOutcome outcome)
{
    UserInterface& ui = *state_.ui;
    links_.CloseSerial();
    ui.SetStatusMessage(std::string());
    // The percentage reached would otherwise stay in the field until the next transfer.
    ui.SetProgress(0);
    state_.mode = AppMode::Idle;
    running_ = false;
    verifying_ = false;
    outcome_ = outcome;
    state_.RequestRefresh(ViewRefresh::Full);
    const bool writing = mode_ == AppMode::WriteGateway;
    if (outcome == TransferOutcome::Failed)
        ShowErrorBox(ui, writing ? GetText(TEXT_GATEWAY_COMMUNICATION_ERROR) + "\n\n" + GetText(TEXT_PARTLY_WRITTEN) : GetText(TEXT_GATEWAY_COMMUNICATION_ERROR));
    else if (writing)
        ShowErrorBox(ui, GetText(TEXT_PARTLY_WRITTEN));
}

void TransferEngine::SuccessEnd()
{
    AppState& state = state_;
    UserInterface& ui = *state.ui;
    links_.CloseSerial();
    ui.SetStatusMessage(std::string());
    running_ = false;
    outcome_ = TransferOutcome::Succeeded;
    switch (mode_) {
    case AppMode::ReadGateway:
        state.mode = AppMode::Idle;
        CopyConfiguration(state.current, state.gateway);
        state.GatewayModified = false;
        state.FileModified = false;
        break;
    case AppMode::WriteGateway:
        state.mode = AppMode::Idle;
        state.GatewayModified = false;
        if (state.verifyAfterWrite) {
            // The check reads everything back into the gateway image: the next step goes on
            // with it, or Start has told why the port would not open again.
            state.mode = AppMode::CompareGateway;
            verifying_ = Start() == 1;
            if (verifying_) return;
        }
        break;
    case AppMode::CompareGateway:
        state.mode = AppMode::Idle;
        state.comparisonReport = GatewayComparisonHeader();
        state.comparisonErrors = CompareConfigurations(state.comparisonReport, state.current, state.gateway);
        if (!verifying_) {
            ui.ShowComparisonReport(state.comparisonReport);
        } else if (state.comparisonErrors != 0) {
            state.comparisonReport = DifferencesOnly(state.comparisonReport);
            ui.ShowComparisonReport(state.comparisonReport);
        } else {
            ui.ShowMessage(MessageIcon::Information, GetText(TEXT_INFORMATION), GetText(TEXT_WRITE_VERIFIED));
        }
        verifying_ = false;
        break;
    default: {  // AppMode::PrepareSerialTest
        bool any_unit = false;
        for (const UnitRecord& unit : state.gateway.units) any_unit = any_unit || unit.SLAVE_TYPE != UNIT_NONE;
        if (any_unit) {
            state.mode = AppMode::SerialTest;
        } else {
            ShowErrorBox(ui, GetText(TEXT_NO_SLAVES_CONNECTED));
            state.mode = AppMode::Idle;
        }
        break;
    }
    }
    ui.SetProgress(0);
    state_.RequestRefresh(ViewRefresh::Full);
}

int TransferEngine::Start()
{
    AppState& state = state_;
    if (!IsTransfer(state.mode)) return 0;
    if (!links_.OpenSerialWithMessage()) {
        state.mode = AppMode::Idle;
        running_ = false;
        outcome_ = TransferOutcome::Failed;
        // The caller may already have painted the busy mode; bring the full menu bar back.
        state.RequestRefresh(ViewRefresh::Full);
        return 0;
    }
    mode_ = state.mode;
    unit_ = -1;
    channel_ = 0;
    ok_ = 1;
    cut_ = false;
    stopRequested_ = 0;
    running_ = true;
    outcome_ = TransferOutcome::Running;
    state.RequestRefresh(ViewRefresh::Full);
    return 1;
}

bool TransferEngine::Step()
{
    if (!running_) return false;
    if (!ok_) {
        UnfinishedEnd(TransferOutcome::Failed);
        return false;
    }
    // A stop that came after the last command of the last step has cut nothing short.
    if (cut_ || (StopRequested() && unit_ < UNIT_COUNT)) {
        UnfinishedEnd(TransferOutcome::Stopped);
        return false;
    }
    if (unit_ >= UNIT_COUNT) {
        SuccessEnd();
        return running_;  // a write goes on with its check
    }

    UserInterface& ui = *state_.ui;
    SystemConfiguration& g = state_.gateway;
    const bool reading = mode_ != AppMode::WriteGateway;
    if (unit_ < 0) {
        ui.SetStatusMessage(GetText(reading ? TEXT_READING_MASTER : TEXT_WRITING_MASTER));
        if (reading) ReadMaster(g, ok_);
        else WriteMaster(g, ok_);
        unit_ = 0;
        channel_ = -1;
        return true;
    }

    UnitRecord& unit = g.units[unit_];
    const int unit_number = unit_ + 1;
    if (channel_ < 0) {
        if (reading) ReadUnit(unit, unit_number, ok_);
        else WriteUnit(unit, unit_number, ok_);
        channel_ = 0;
        return true;
    }

    ui.SetStatusMessage(ChannelStatus(reading ? TEXT_READING_SLAVE : TEXT_WRITING_SLAVE, unit_number, channel_ + 1));
    if (reading) ReadChannel(unit.channels[channel_], unit_number, channel_ + 1, ok_);
    else WriteChannel(unit.channels[channel_], unit_number, channel_ + 1, ok_);
    ui.SetProgress((unit_ * CHANNEL_COUNT + channel_) * 100 / (UNIT_COUNT * CHANNEL_COUNT));
    if (++channel_ == CHANNEL_COUNT) {
        ++unit_;
        channel_ = -1;
        if (mode_ == AppMode::PrepareSerialTest) state_.RequestRefresh(ViewRefresh::Full);
    }
    return true;
}

int TransferEngine::ReadConfigurationFromGateway()
{
    AppState& state = state_;
    if ((state.FileModified || state.GatewayModified) && !AskProceedAnyway(*state.ui, GetText(TEXT_READ_OVERWRITES_CHANGES))) return 0;
    state.mode = AppMode::ReadGateway;
    return Start();
}

int TransferEngine::WriteConfigurationToGateway()
{
    AppState& state = state_;
    if (!AskYesNo(*state.ui, GetText(TEXT_WRITE_OVERWRITES_GATEWAY))) return 0;
    CopyConfiguration(state.gateway, state.current);
    state.mode = AppMode::WriteGateway;
    return Start();
}

int TransferEngine::CompareWithGateway()
{
    state_.mode = AppMode::CompareGateway;
    return Start();
}

} // namespace tarn
