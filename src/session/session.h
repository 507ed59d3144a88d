// One running program's context: the configuration side (images, flags, mode,
// ports, files, the user interface), the two links to the gateway and the
// engines that use them. main() of each program makes one; each test makes its
// own. Nothing of it is process-wide: two sessions never share a port or a mode.
#pragma once

#include "config/app_state.h"
#include "diag/live_test.h"
#include "link/link.h"
#include "link/serial_device.h"
#include "link/transfer.h"

#include <functional>

namespace tarn {

// The diagnostic command of a session that runs, so that a close request can end its dialog by
// its Cancel path and close once the command has returned.
struct DiagnosticCommand {
    int running = 0;               // commands between their start and their end
    std::function<void()> cancel;  // the open dialog's Cancel path; empty while none is open
};

class Session : public AppState {
public:
    // ui must outlive the session; devices makes the serial devices its links open (empty: no
    // port opens).
    Session(UserInterface& ui, SerialDeviceFactory devices);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    AppState& state() { return *this; }

    GatewayLinks links;
    TransferEngine transfer;
    LiveTest live;
    DiagnosticCommand diagnostic;
};

} // namespace tarn
