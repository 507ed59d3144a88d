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

namespace tarn {

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
};

} // namespace tarn
