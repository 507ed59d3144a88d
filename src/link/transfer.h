// The step machine that moves a whole System configuration between the program
// and the gateway: read (AppMode 1), write (2), compare (3) and the reading phase
// of the serial live test (4). It owns no timer: the caller runs one
// TransferStep per tick of a 10 ms timer that it stops on entry to the step and
// starts again only when the step asks for it, so no two steps ever overlap.
#pragma once

namespace tarn {

enum class TransferOutcome {
    None,       // no transfer since the program started
    Running,
    Failed,     // a command failed (text 395 shown) or the port could not be opened (text 228)
    Succeeded,
    Stopped,    // RequestTransferStop ended it (a write: text 398 shown)
};

// Number of TransferStep calls of a transfer that runs to its end: the master step, for each
// of the four units its unit step and 64 channel steps, and the end step.
inline constexpr int TRANSFER_STEP_COUNT = 1 + 4 * (1 + 64) + 1;

// The caller has set State().AppMode to 1..4. Opens the serial link (text 228 and AppMode 0
// when it cannot) and prepares the first step. 1 when the transfer runs: arm the 10 ms timer.
int StartTransfer();

// One step of the running transfer. true: arm the 10 ms timer again; false: that was the
// end step (or no transfer runs), the timer stays off.
bool TransferStep();

// Ends the running transfer after the exchange under way: the next TransferStep closes the
// link and ends it as Stopped, after a write with text 398 (the gateway holds a partly written
// configuration). Safe to call from a signal handler.
void RequestTransferStop();

bool TransferRunning();
TransferOutcome LastTransferOutcome();

// The three menu operations. Each returns 1 when a transfer has started (arm the timer),
// 0 when the user said No or the port could not be opened.
int ReadConfigurationFromGateway();  // asks text 402 when there are unsaved changes
int WriteConfigurationToGateway();   // always asks text 403; sends the current image
int CompareWithGateway();            // no question; reports at the end

} // namespace tarn
