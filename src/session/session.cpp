#include "session/session.h"

#include <utility>

namespace tarn {

Session::Session(UserInterface& ui, SerialDeviceFactory devices)
    : AppState(ui), links(*this, std::move(devices)), transfer(links), live(links, transfer)
{
}

} // namespace tarn
