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

} // namespace tarn
