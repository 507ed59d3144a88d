// The single channel test (command 4000): one unit position and one channel of it,
// the programmed beside the real unit type, the channel's tag, configuration and
// reading five times a second, and trial configurations that are undone when the
// user moves on. User actions only queue requests; every exchange runs in Tick,
// which the dialog calls from its 200 ms timer. The test leaves the gateway as it
// found it: each tried channel word is restored, and the four programmed unit
// descriptors read at the start are written back at the end.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <deque>
#include <string>

namespace tarn {

enum class ScOperation {
    Cancelled = 0,              // a Leave the user withdrew; does nothing
    Restore = 1,                // the word of the restore record back to its channel
    Leave = 2,                  // ends the dialog with the communication flag
    SelectUnit = 3,             // unit
    SelectChannel = 4,          // unit, channel
    TryConfiguration = 5,       // unit, channel, word
    MatchProgrammedToReal = 6,  // unit
};

struct ScRequest {
    ScOperation op = ScOperation::Cancelled;
    int unit = -1;
    int channel = -1;
    std::uint32_t word = 0;
    bool operator==(const ScRequest&) const = default;
};

inline constexpr int SC_QUEUE_CAPACITY = 10;
inline constexpr int SC_TICK_MS = 200;
inline constexpr int SC_OPTION_LISTS = 5;  // controls 110..114
inline constexpr int SC_REOPEN_TICKS = 5;   // a port that has gone is opened again every 5th tick

// What the dialog shows, rebuilt by each refresh. The option lists and the channel list are
// refilled when listsGeneration changes, their selections and the tag set again when
// selectionGeneration changes, so a list the user is working with is not reset every tick.
struct SingleChannelDisplay {
    std::string programmedText;   // 103
    std::string realText;         // 104
    bool channelPartVisible = false;  // 106..117

    int listsGeneration = 0;
    int channelCount = 0;         // entries of 107: " 01 " ..
    bool analog = true;           // kind of the option lists: analog 110..114, digital 110, 111

    int selectionGeneration = 0;
    int channel = -1;             // entry selected in 107
    std::string tag;              // 109
    std::array<int, SC_OPTION_LISTS> options{};        // entries selected in 110..114
    std::array<bool, SC_OPTION_LISTS> optionVisible{};

    bool valueIsAnalog = true;    // 116 shows the value, else 117 the state
    std::string valueText;        // the text of 116 or 117
};

// Enabled states of the controls that wait for their request.
struct SingleChannelControls {
    bool tabs = true;
    bool channelList = true;
    bool options = true;
    bool match = false;           // 105
    bool cancel = true;
};

class SingleChannelTest {
public:
    explicit SingleChannelTest(GatewayLinks& links) : links_(links) {}

    // The command's work before the dialog: opens the serial link (text 228 when it cannot) and
    // reads the four programmed descriptors. 1: run the dialog and then call Finish. 0: the
    // command has ended (link closed, text 395 shown after a failed read).
    int Begin();
    // The command's work after the dialog, with the dialog's result: while the flag is 1 the
    // saved descriptors go back to setting 3 of units 1..4; closes the link; text 395 when the
    // flag is 0; asks for a full refresh.
    void Finish(int dialogResult);

    // Dialog start: the state of a freshly opened dialog with SelectUnit of unit 0 queued.
    void Start();

    // User actions. Each disables its control until its request has run; the channel list, the
    // option lists and button 105 also wait for a queued unit selection, and the option lists
    // for a queued channel selection, so that nothing acts on a unit or channel that is not yet
    // current. Each request carries its unit and channel, and one made for a unit or channel
    // that is no longer current when it runs does nothing. Two requests that do not both fit
    // into the queue are dropped together and the control stays usable; a Leave while one is
    // queued is merged with it.
    void SelectTab(int unit);
    void SelectChannel(int channel);
    // The selections of the option lists 110..114 (digital units use the first two).
    void ChangeOptions(const std::array<int, SC_OPTION_LISTS>& selections);
    void MatchProgrammedToReal();
    // The Cancel button, Escape and the window's close button, also while Cancel is disabled.
    void CancelClicked();

    enum class TickResult { Continue, End };
    // One tick of the dialog timer. End: close the dialog with Result().
    TickResult Tick();
    int Result() const { return result_; }

    const SingleChannelDisplay& Display() const { return display_; }
    const SingleChannelControls& Controls() const { return controls_; }
    bool YellowLampVisible() const { return yellowLamp_; }
    bool RedLampVisible() const { return redLamp_; }

    int CommunicationFlag() const { return flag_; }
    int CurrentUnit() const { return unit_; }
    int CurrentChannel() const { return channel_; }
    std::int64_t CurrentWord() const { return word_; }
    std::uint32_t ProgrammedDescriptor() const { return programmed_; }
    std::uint32_t RealDescriptor() const { return real_; }
    const std::deque<ScRequest>& Queue() const { return queue_; }
    const std::array<std::uint32_t, 4>& SavedDescriptors() const { return saved_; }

private:
    bool Enqueue(std::initializer_list<ScRequest> requests);

    GatewayLinks& links_;
    void HoldBack();  // the enabled states of the controls from the requests still queued
    bool RunRequest(const ScRequest& request);  // false: failed
    bool RunQueue(bool& leave);
    void Refresh();
    bool RealIsAnalog() const;

    std::array<std::uint32_t, 4> saved_{};
    int flag_ = 1;
    int result_ = 0;

    int unit_ = -1;
    int channel_ = -1;
    std::int64_t word_ = -1;
    std::string tag_;
    std::uint32_t programmed_ = 0;
    std::uint32_t real_ = 0;
    std::uint32_t reading_ = 0;

    struct RestoreRecord {
        int unit = -1;
        int channel = -1;
        std::int64_t word = -1;
    } restore_;

    std::deque<ScRequest> queue_;
    bool matchUsable_ = false;  // the unit's real type is known and differs from its programmed one
    unsigned blink_ = 0;
    unsigned goneTicks_ = 0;
    bool yellowLamp_ = false;
    bool redLamp_ = false;

    // Display memo: the unit whose lists are loaded, the channel and word last shown.
    int loadedUnit_ = -1;
    int shownChannel_ = -1;
    std::int64_t shownWord_ = -1;

    SingleChannelDisplay display_;
    SingleChannelControls controls_;
};

} // namespace tarn
