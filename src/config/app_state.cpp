#include "config/app_state.h"

namespace tarn {

namespace {
AppState g_default_state;
AppState* g_state = &g_default_state;
} // namespace

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

AppState& State() { return *g_state; }

void InstallState(AppState* state) { g_state = state ? state : &g_default_state; }

void MarkConfigurationChanged()
{
    State().FileModified = true;
    State().GatewayModified = true;
}

} // namespace tarn
