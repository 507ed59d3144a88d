#include "link/network_port.h"

#include <cctype>

namespace tarn {

namespace {

constexpr std::string_view kScheme = "tcp://";

bool IsHostNameCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

} // namespace

bool IsNetworkPortName(const std::string& name)
{
    if (name.size() < kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != kScheme[i]) return false;
    return true;
}

std::optional<NetworkPort> ParseNetworkPort(const std::string& name)
{
    if (!IsNetworkPortName(name)) return std::nullopt;
    const std::string rest = name.substr(kScheme.size());
    NetworkPort parsed;
    std::size_t colon;
    if (!rest.empty() && rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || close == 1) return std::nullopt;
        parsed.host = rest.substr(1, close - 1);
        for (char c : parsed.host)
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') return std::nullopt;
        colon = close + 1;
        if (colon >= rest.size() || rest[colon] != ':') return std::nullopt;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos || colon == 0) return std::nullopt;
        parsed.host = rest.substr(0, colon);
        for (char c : parsed.host)
            if (!IsHostNameCharacter(c)) return std::nullopt;
    }
    const std::string digits = rest.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    for (char c : digits)
        if (c < '0' || c > '9') return std::nullopt;
    parsed.port = std::stoi(digits);
    if (parsed.port < 1 || parsed.port > 65535) return std::nullopt;
    return parsed;
}

} // namespace tarn
