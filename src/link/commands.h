// The gateway's ASCII command set: C (channel configuration word), S (settings),
// T (tags) and D (live data), each checked against the gateway's reply. The
// serial link must be open. 1 success, 0 failure; never a message.
#pragma once

#include <cstdint>
#include <string>

namespace tarn {

int ReadChannelConfig(int unit, int channel, std::uint32_t& value);
int WriteChannelConfig(int unit, int channel, std::uint32_t value);
int ReadSetting(int unit, int setting, std::uint32_t& value);
int WriteSetting(int unit, int setting, std::uint32_t value);
int ReadTag(int unit, int channel, std::string& tag);  // trailing blanks removed, at most 16
int WriteTag(int unit, int channel, const std::string& tag);
int ReadData(int unit, int index, std::uint32_t& value);

// Signed 16-bit quantities travel as two's complement 0..65535.
inline std::int32_t FromGateway16(std::uint32_t value) { return value > 32767 ? static_cast<std::int32_t>(value) - 65536 : static_cast<std::int32_t>(value); }
inline std::uint32_t ToGateway16(std::int32_t value) { return static_cast<std::uint32_t>(value < 0 ? value + 65536 : value); }

} // namespace tarn
