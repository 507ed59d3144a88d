#include "diag/single_channel_test.h"

#include "config/channel_word.h"
#include "config/model.h"
#include "diag/cell_text.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/choices.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <cstdio>

namespace tarn {

namespace {

// "  KX913 - KX914 - KX914" for a KX913 with two expansions.
std::string DescriptorText(std::uint32_t descriptor)
{
    const UnitDescriptor d = DecodeUnitDescriptor(descriptor);
    std::string text = "  " + ChoiceText(ChoiceList::UnitType, static_cast<int>(d.type));
    if (d.type == UNIT_KX913)
        for (std::uint32_t e = 0; e < d.expansions; ++e) text += " - " + ChoiceText(ChoiceList::UnitType, 2);
    return text;
}

// The entry a drop-down list selects for a stored value: one beyond its end selects entry 0.
int ListEntry(ChoiceList list, std::uint32_t value)
{
    return value < static_cast<std::uint32_t>(ChoiceCount(list)) ? static_cast<int>(value) : 0;
}

std::uint32_t Selection(int index) { return index < 0 ? 0u : static_cast<std::uint32_t>(index); }

} // namespace

int SingleChannelTest::Begin()
{
    if (!links_.OpenSerialWithMessage()) return 0;
    flag_ = 1;
    for (int u = 0; u < UNIT_COUNT; ++u) {
        if (!ReadSetting(links_.Serial(), u + 1, 3, saved_[u])) {
            flag_ = 0;
            break;
        }
    }
    if (flag_) return 1;
    Finish(0);
    return 0;
}

void SingleChannelTest::Finish(int dialogResult)
{
    flag_ = dialogResult;
    for (int u = 0; u < UNIT_COUNT && flag_; ++u)
        if (!WriteSetting(links_.Serial(), u + 1, 3, saved_[u])) flag_ = 0;
    links_.CloseSerial();
    if (!flag_) ShowErrorBox(*links_.state().ui, GetText(TEXT_GATEWAY_COMMUNICATION_ERROR));
    links_.state().RequestRefresh(ViewRefresh::Full);
}

void SingleChannelTest::Start()
{
    display_ = {};
    controls_ = {};
    yellowLamp_ = redLamp_ = false;
    real_ = 0;
    loadedUnit_ = shownChannel_ = -1;
    shownWord_ = -1;
    Refresh();
    queue_.clear();
    word_ = -1;
    channel_ = -1;
    unit_ = -1;
    restore_ = {};
    matchUsable_ = false;
    Enqueue({{ScOperation::SelectUnit, 0, -1, 0}});
}

bool SingleChannelTest::Enqueue(std::initializer_list<ScRequest> requests)
{
    if (queue_.size() + requests.size() > static_cast<std::size_t>(SC_QUEUE_CAPACITY)) return false;
    queue_.insert(queue_.end(), requests.begin(), requests.end());
    HoldBack();
    return true;
}

void SingleChannelTest::HoldBack()
{
    // What the user picks or presses acts on the current unit and channel, so it waits for
    // every queued request that changes them: a channel picked before a queued unit
    // selection has run would be read from one unit and restored onto the other.
    bool unitWaits = false, channelWaits = false, trialWaits = false, matchWaits = false;
    for (const ScRequest& r : queue_) {
        unitWaits = unitWaits || r.op == ScOperation::SelectUnit;
        channelWaits = channelWaits || r.op == ScOperation::SelectChannel;
        trialWaits = trialWaits || r.op == ScOperation::TryConfiguration;
        matchWaits = matchWaits || r.op == ScOperation::MatchProgrammedToReal;
    }
    controls_.tabs = !unitWaits;
    controls_.channelList = !unitWaits && !channelWaits;
    controls_.options = !unitWaits && !channelWaits && !trialWaits;
    controls_.match = matchUsable_ && !unitWaits && !matchWaits;
}

void SingleChannelTest::SelectTab(int unit)
{
    if (!controls_.tabs || unit == unit_ || unit < 0 || unit >= UNIT_COUNT) return;
    Enqueue({{ScOperation::Restore}, {ScOperation::SelectUnit, unit, -1, 0}});
}

void SingleChannelTest::SelectChannel(int channel)
{
    if (!controls_.channelList || channel < 0 || channel >= display_.channelCount) return;
    Enqueue({{ScOperation::Restore}, {ScOperation::SelectChannel, unit_, channel, 0}});
}

void SingleChannelTest::ChangeOptions(const std::array<int, SC_OPTION_LISTS>& s)
{
    if (!controls_.options || unit_ < 0 || channel_ < 0) return;
    std::uint32_t word;
    if (RealIsAnalog()) {
        AnalogChannelSettings a;
        a.type = Selection(s[0]);
        a.burnout = Selection(s[1]);
        a.wires = Selection(s[2]);
        a.cold_junction = Selection(s[3]);
        a.filter = Selection(s[4]);
        word = EncodeAnalogChannelWord(a);
    } else {
        word = EncodeDigitalChannelWord({Selection(s[0]), Selection(s[1])});
    }
    if (!Enqueue({{ScOperation::TryConfiguration, unit_, channel_, word}})) return;
    word_ = word;
}

void SingleChannelTest::MatchProgrammedToReal()
{
    if (!controls_.match || unit_ < 0) return;
    Enqueue({{ScOperation::MatchProgrammedToReal, unit_, -1, 0}});
}

void SingleChannelTest::CancelClicked()
{
    const bool leaving = std::any_of(queue_.begin(), queue_.end(),
                                     [](const ScRequest& r) { return r.op == ScOperation::Leave; });
    if (!leaving && !Enqueue({{ScOperation::Restore}, {ScOperation::Leave}})) return;
    controls_.cancel = false;
}

bool SingleChannelTest::RealIsAnalog() const { return DecodeUnitDescriptor(real_).type == UNIT_KX913; }

bool SingleChannelTest::RunRequest(const ScRequest& r)
{
    switch (r.op) {
    case ScOperation::Cancelled:
    case ScOperation::Leave:
        return true;
    case ScOperation::Restore:
        if (restore_.unit < 0 || restore_.channel < 0 || restore_.word < 0) return true;
        return WriteChannelConfig(links_.Serial(), restore_.unit + 1, restore_.channel + 1, static_cast<std::uint32_t>(restore_.word));
    case ScOperation::SelectUnit: {
        std::uint32_t programmed = 0, real = 0, word = 0;
        std::string tag;
        if (!ReadSetting(links_.Serial(), r.unit + 1, 3, programmed) || !ReadSetting(links_.Serial(), r.unit + 1, 1, real) ||
            !ReadTag(links_.Serial(), r.unit + 1, 1, tag) || !ReadChannelConfig(links_.Serial(), r.unit + 1, 1, word))
            return false;
        unit_ = r.unit;
        channel_ = 0;
        word_ = word;
        tag_ = tag;
        programmed_ = programmed;
        real_ = real;
        restore_ = {r.unit, 0, word};
        return true;
    }
    case ScOperation::SelectChannel: {
        // Made for a unit that is no longer current: its channel list is gone.
        if (r.unit != unit_) return true;
        std::uint32_t word = 0;
        std::string tag;
        if (!ReadChannelConfig(links_.Serial(), r.unit + 1, r.channel + 1, word) || !ReadTag(links_.Serial(), r.unit + 1, r.channel + 1, tag))
            return false;
        channel_ = r.channel;
        word_ = word;
        tag_ = tag;
        restore_ = {r.unit, r.channel, word};
        return true;
    }
    case ScOperation::TryConfiguration:
        // A trial word goes only to the channel whose own word the next Restore writes back.
        if (r.unit != restore_.unit || r.channel != restore_.channel || restore_.word < 0) return true;
        return WriteChannelConfig(links_.Serial(), r.unit + 1, r.channel + 1, r.word);
    case ScOperation::MatchProgrammedToReal:
        // real_ is the current unit's descriptor: never written into another unit's setting 3.
        if (r.unit != unit_) return true;
        return WriteSetting(links_.Serial(), r.unit + 1, 3, real_) && ReadSetting(links_.Serial(), r.unit + 1, 3, programmed_);
    }
    return true;
}

bool SingleChannelTest::RunQueue(bool& leave)
{
    if (queue_.empty()) return true;
    if (flag_ == 0 && queue_.front().op != ScOperation::Leave) {
        for (ScRequest& r : queue_) {
            if (r.op != ScOperation::Leave) continue;
            if (AskYesNo(*links_.state().ui, GetText(TEXT_SERIAL_DOWN_EXIT_ANYWAY))) {
                result_ = 0;
                leave = true;
                return false;
            }
            r.op = ScOperation::Cancelled;
            controls_.cancel = true;
        }
    }
    while (!queue_.empty()) {
        const ScRequest r = queue_.front();
        if (r.op == ScOperation::Leave) {
            queue_.pop_front();
            result_ = flag_;
            leave = true;
            return true;
        }
        if (!RunRequest(r)) {
            flag_ = 0;
            return false;
        }
        queue_.pop_front();
        HoldBack();
    }
    return true;
}

SingleChannelTest::TickResult SingleChannelTest::Tick()
{
    const bool lit = blink_++ % 2 == 0;
    yellowLamp_ = flag_ && lit;
    redLamp_ = !flag_ && lit;

    bool leave = false;
    const bool ran = RunQueue(leave);
    if (leave) return TickResult::End;

    if (ran && unit_ >= 0) {
        // A failed descriptor read is not hidden by a good reading after it.
        int ok = ReadSetting(links_.Serial(), unit_ + 1, 1, real_);
        if (channel_ >= 0) {
            const int index = RealIsAnalog() ? channel_ + 1 : channel_ / 8 + 1;
            ok = ReadData(links_.Serial(), unit_ + 1, index, reading_) && ok;
        }
        flag_ = ok;
        Refresh();
    } else if (!ran) {
        std::uint32_t probe = 0;
        flag_ = ReadSetting(links_.Serial(), unit_ + 1, 3, probe);
        // A pulled adapter stays gone for the open link: the port is opened again, every fifth
        // tick (once a second), so that the waiting restores run once the adapter is back.
        const bool gone = links_.Serial().Gone() || !links_.Serial().IsOpen();
        if (!flag_ && gone && ++goneTicks_ % SC_REOPEN_TICKS == 0 && !links_.OpenSerial())
            flag_ = ReadSetting(links_.Serial(), unit_ + 1, 3, probe);
    }
    return TickResult::Continue;
}

void SingleChannelTest::Refresh()
{
    SingleChannelDisplay& d = display_;
    d.programmedText = DescriptorText(programmed_);
    d.realText = DescriptorText(real_);
    matchUsable_ = real_ != 0 && real_ != programmed_;
    HoldBack();

    if (real_ == 0 || real_ != programmed_) {
        d.channelPartVisible = false;
        d.channelCount = 0;
        loadedUnit_ = -1;
        return;
    }
    d.channelPartVisible = true;
    const bool analog = RealIsAnalog();
    if (loadedUnit_ != unit_) {
        d.channelCount = analog ? static_cast<int>(DecodeUnitDescriptor(real_).expansions + 1) * 16 : 32;
        d.analog = analog;
        ++d.listsGeneration;
        loadedUnit_ = unit_;
        shownChannel_ = -1;
    }
    if (channel_ != shownChannel_ || word_ != shownWord_) {
        const auto word = static_cast<std::uint32_t>(word_ < 0 ? 0 : word_);
        d.tag = tag_;
        d.options = {};
        d.optionVisible = {};
        d.optionVisible[0] = true;
        if (d.analog) {
            const AnalogChannelSettings a = DecodeAnalogChannelWord(word);
            d.options = {ListEntry(ChoiceList::ChannelType, a.type), ListEntry(ChoiceList::Burnout, a.burnout),
                         ListEntry(ChoiceList::Wires, a.wires), ListEntry(ChoiceList::ColdJunction, a.cold_junction),
                         ListEntry(ChoiceList::Filter, a.filter)};
            const std::uint32_t t = a.type;
            d.optionVisible[1] = t == 1 || t == 2 || (t >= 4 && t <= 17);
            d.optionVisible[2] = t == 3 || t >= 18;
            d.optionVisible[3] = t >= 4 && t <= 17;
            d.optionVisible[4] = t != 0;
        } else {
            const DigitalChannelSettings g = DecodeDigitalChannelWord(word);
            d.options[0] = ListEntry(ChoiceList::DigitalMode, g.mode);
            d.options[1] = ListEntry(ChoiceList::ScanTime, g.scan_time);
            d.optionVisible[1] = g.mode != 0;
        }
        d.channel = channel_;
        ++d.selectionGeneration;
        shownChannel_ = channel_;
        shownWord_ = word_;
    }

    d.valueIsAnalog = analog;
    if (analog) {
        d.valueText = AnalogCellText(reading_, static_cast<std::uint32_t>(word_ < 0 ? 0 : word_));
    } else {
        const int k = channel_ % 8;
        const bool state = (reading_ >> k) & 1;
        const bool fault = (reading_ >> (k + 8)) & 1;
        const int id = fault ? (state ? TEXT_CHANNEL_SHORT : TEXT_CHANNEL_OPEN) : (state ? TEXT_CHANNEL_ON : TEXT_CHANNEL_OFF);
        d.valueText = "-- " + GetText(id) + " --    ";
    }
}

} // namespace tarn
