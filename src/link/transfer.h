// The step machine that moves a whole System configuration between the program
// and the gateway: read, write, compare and the reading phase of the serial live
// test. It owns no timer: the caller runs one Step per tick of a 10 ms timer
// that it stops on entry to the step and starts again only when the step asks
// for it, so no two steps ever overlap.
#pragma once

#include "config/app_state.h"
#include "link/link.h"

#include <csignal>

namespace tarn {

enum class TransferOutcome {
    None,       // no transfer since the program started
    Running,
    Failed,     // a command failed (text 395 shown) or the port could not be opened (text 228)
    Succeeded,
    Stopped,    // RequestStop ended it (a write: text 398 shown)
};

// Number of Step calls of a transfer that runs to its end: the master step, for each
// of the four units its unit step and 64 channel steps, and the end step.
inline constexpr int TRANSFER_STEP_COUNT = 1 + 4 * (1 + 64) + 1;

// One transfer engine per session; it moves the session's images over the session's serial link.
class TransferEngine {
public:
    explicit TransferEngine(GatewayLinks& links);

    // The caller has set the mode to a transfer mode. Opens the serial link (text 228 and mode
    // Idle when it cannot) and prepares the first step. 1 when the transfer runs: arm the 10 ms
    // timer.
    int Start();

    // One step of the running transfer. true: arm the 10 ms timer again; false: that was the
    // end step (or no transfer runs), the timer stays off.
    bool Step();

    // Ends the running transfer after the exchange under way: the next Step closes the link
    // and ends it as Stopped, after a write with text 398 (the gateway holds a partly written
    // configuration).
    void RequestStop() { stopRequested_ = 1; }
    // A flag that a signal handler sets: while it is non-zero, a stop counts as requested.
    void WatchStopFlag(const volatile std::sig_atomic_t* flag) { watchedStop_ = flag; }

    // From Start to the end step: the window shows the busy cursor meanwhile.
    bool Running() const { return running_; }
    TransferOutcome LastOutcome() const { return outcome_; }

    // The three menu operations. With AppState::verifyAfterWrite a write that succeeds goes on
    // as a comparison with the gateway, which shows only the differences, or text 450 when
    // there are none; LastOutcome and comparisonErrors are then the comparison's. Each returns 1 when a transfer has started (arm the timer),
    // 0 when the user said No or the port could not be opened.
    int ReadConfigurationFromGateway();  // asks text 402 when there are unsaved changes
    int WriteConfigurationToGateway();   // always asks text 403; sends the current image
    int CompareWithGateway();            // no question; reports at the end

private:
    bool StopRequested() const { return stopRequested_ || (watchedStop_ && *watchedStop_); }
    bool Go(int ok);
    void ReadMaster(SystemConfiguration& g, int& ok);
    void WriteMaster(const SystemConfiguration& g, int& ok);
    void ReadUnit(UnitRecord& unit, int number, int& ok);
    void WriteUnit(const UnitRecord& unit, int number, int& ok);
    void ReadChannel(ChannelRecord& channel, int unit, int number, int& ok);
    void WriteChannel(const ChannelRecord& channel, int unit, int number, int& ok);
    void UnfinishedEnd(TransferOutcome outcome);
    void SuccessEnd();

    GatewayLinks& links_;
    AppState& state_;
    // Kept between ticks; lives from Start to the end step.
    bool running_ = false;
    AppMode mode_ = AppMode::Idle;
    int ok_ = 1;        // 0 after the first failed command
    int unit_ = -1;     // -1 master step, 0..3 unit index, 4 all units done
    int channel_ = 0;   // -1 unit step, 0..63 channel step
    bool cut_ = false;  // a stop request skipped a command of a step
    bool verifying_ = false;  // the comparison that checks a write
    TransferOutcome outcome_ = TransferOutcome::None;
    std::sig_atomic_t stopRequested_ = 0;
    const volatile std::sig_atomic_t* watchedStop_ = nullptr;
};

} // namespace tarn
