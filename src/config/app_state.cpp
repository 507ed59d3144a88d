#include "config/app_state.h"

namespace tarn {

std::string PortSetting::DevicePath() const
{
    if (!name.empty()) return name;
    if (number <= 0) return {};
#ifdef _WIN32
    return "\\\\.\\COM" + std::to_string(number);
#else
    return "/dev/ttyS" + std::to_string(number - 1);
#endif
}

void ResetPanelLiveValues(SystemConfiguration& gatewayImage)
{
    for (UnitRecord& unit : gatewayImage.units) {
        const int n = ChannelsInUse(unit);
        for (int c = 0; c < n; ++c) {
            unit.channels[c].live_value = 0;
            unit.channels[c].live_state = LIVE_NONE;
        }
    }
}

ViewRefresh AppState::TakeRefresh()
{
    const ViewRefresh refresh = pendingRefresh_;
    pendingRefresh_ = ViewRefresh::None;
    if (refresh == ViewRefresh::Full && ShowsUnitPanels(mode)) ResetPanelLiveValues(gateway);
    return refresh;
}

} // namespace tarn
