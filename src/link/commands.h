// The gateway's ASCII command set: C (channel configuration word), S (settings),
// T (tags) and D (live data), each checked against the gateway's reply, over
// the serial link given. 1 success, 0 failure; never a message.
#pragma once

#include "link/link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// Units: 0 the gateway, 1..4 the slave positions. Arguments out of range fail at once without
// port activity. A read keeps value unchanged when it fails or the reply holds no number
// (ReadData sets 0 once the reply is accepted). Values are written in signed decimal, so a
// 16-bit quantity goes as ToGateway16 of it.
int ReadChannelConfig(Link& link, int unit, int channel, std::uint32_t& value);   // unit 1..4, channel 1..64
int WriteChannelConfig(Link& link, int unit, int channel, std::uint32_t value);   // unit 1..4, channel 1..64
int ReadSetting(Link& link, int unit, int setting, std::uint32_t& value);         // unit 0..4, setting 1..16
int WriteSetting(Link& link, int unit, int setting, std::uint32_t value);         // unit 0..4, setting 1..16
// unit 0..4, channel 1..64; tag is emptied first. At most 16 characters, trailing blanks removed.
int ReadTag(Link& link, int unit, int channel, std::string& tag);
// unit 0..4, channel 1..64; success when any reply arrives.
int WriteTag(Link& link, int unit, int channel, const std::string& tag);
int ReadData(Link& link, int unit, int index, std::uint32_t& value);              // unit 1..4, index 1..64

// The strict reads, for figures that are shown or acted on: the value after the equals sign
// must be decimal digits only, to the end of the reply, and lie within low..high. Anything
// else fails like a garbled reply and leaves value unchanged.
int ReadSettingWithin(Link& link, int unit, int setting, std::uint32_t low, std::uint32_t high, std::uint32_t& value);
int ReadChannelConfigWithin(Link& link, int unit, int channel, std::uint32_t low, std::uint32_t high, std::uint32_t& value);
int ReadDataWithin(Link& link, int unit, int index, std::uint32_t low, std::uint32_t high, std::uint32_t& value);

// The reply checks, pure, on the reply text as SerialExchange delivers it.

// A number as the C conversion "%u" reads it: blanks skipped, an optional sign ("-1" wraps to
// 4294967295), digits up to the first other character. A magnitude beyond 32 bits gives
// 4294967295, as strtoul does with a 32-bit unsigned long. Nothing when no digit follows.
std::optional<std::uint32_t> ParseUnsignedLikeScanf(std::string_view text);

struct ReadReplyCheck {
    bool accepted = false;
    std::optional<std::uint32_t> value;  // empty when no number follows the equals sign
};
// Reply to a read form (C, S, D): at least 9 characters, the request's first 5 characters, then
// "=" and the value.
ReadReplyCheck CheckReadReply(std::string_view request, std::string_view reply);
// Reply to a read form that must carry a figure within low..high: accepted by CheckReadReply,
// with nothing but decimal digits after the equals sign. Nothing otherwise.
std::optional<std::uint32_t> CheckFigureReply(std::string_view request, std::string_view reply, std::uint32_t low,
                                              std::uint32_t high);
// Reply to a write form (C, S): at least 9 characters, the request's first 6 characters and the
// value written echoed. For S0.05 a reply that orders after "S0.05=0000" is accepted as it is.
bool CheckWriteReply(std::string_view request, std::string_view reply, std::uint32_t written);
// Reply to a tag read: at least 16 characters, the request's first 5 characters and "="; the tag
// is the rest, at most 16 characters, without trailing blanks.
std::optional<std::string> CheckTagReply(std::string_view request, std::string_view reply);

// Signed 16-bit quantities travel as two's complement 0..65535. Bits above the low 16 are not
// part of the quantity: callers refuse such values before they get here.
inline std::int32_t FromGateway16(std::uint32_t value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value)); }
inline std::uint32_t ToGateway16(std::int32_t value) { return static_cast<std::uint32_t>(value < 0 ? value + 65536 : value); }

} // namespace tarn
