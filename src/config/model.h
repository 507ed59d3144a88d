// The System configuration record: one installation, gateway settings, document
// information and four unit positions of 64 channels each. The record has no
// pointers; an image is copied and cleared as one block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

namespace tarn {

inline constexpr int UNIT_COUNT = 4;
inline constexpr int CHANNEL_COUNT = 64;
inline constexpr int REPEATER_COUNT = 4;
inline constexpr std::size_t TAG_CAPACITY = 17;   // 16 characters and the terminator
inline constexpr std::size_t TEXT_CAPACITY = 301; // 300 characters and the terminator

// Unit types as stored in SLAVE_TYPE; 2 never occurs in a record.
inline constexpr std::uint32_t UNIT_NONE = 0;
inline constexpr std::uint32_t UNIT_KX913 = 1; // analog, base module plus 0..3 KX914 expansions
inline constexpr std::uint32_t UNIT_KX927 = 3; // digital, 32 channels

// What live_value holds. A value is shown only when it was read; one whose next read failed
// is shown as stale.
inline constexpr std::uint32_t LIVE_NONE = 0;   // nothing read since the cell was drawn anew
inline constexpr std::uint32_t LIVE_READ = 1;
inline constexpr std::uint32_t LIVE_STALE = 2;  // read once; the latest read of it failed

struct ChannelRecord {
    char tag[TAG_CAPACITY];
    std::uint32_t word;        // channel configuration word, 0..65535
    std::uint32_t live_value;  // last reading of the live test; gateway image only
    std::uint32_t live_state;  // LIVE_NONE, LIVE_READ or LIVE_STALE; gateway image only
};

struct UnitRecord {
    std::uint32_t SLAVE_TYPE;
    std::uint32_t SLAVE_EXP;
    std::uint32_t second_type;      // decoded by the Modbus live test; nothing reads it
    std::uint32_t second_exp;
    std::int32_t SLAVE_CJC;         // tenths of a degree Celsius, -400..1000
    ChannelRecord channels[CHANNEL_COUNT];
};

struct SystemConfiguration {
    std::uint32_t master_param1;    // only stored, from gateway setting S0.01
    std::uint32_t master_param2;    // only stored, from gateway setting S0.02
    char MASTER_TAG[TAG_CAPACITY];
    std::uint32_t MASTER_CABLE;
    std::uint32_t MASTER_FREQ;
    std::uint32_t MASTER_MOD_ADDR;
    std::uint32_t MASTER_MOD_BAUD;
    std::uint32_t MASTER_MOD_FORM;
    std::uint32_t MASTER_MOD_CONFIG;
    std::uint32_t MASTER_REPT;
    std::uint32_t MASTER_REPT_MAT[REPEATER_COUNT];
    char ORGANIZATION[TEXT_CAPACITY];
    char ADDRESS[4][TEXT_CAPACITY];  // ADDRESS_1 .. ADDRESS_4
    char DOCUMENT[TEXT_CAPACITY];
    char OPERATOR_1[TEXT_CAPACITY];
    char OPERATOR_2[TEXT_CAPACITY];
    UnitRecord units[UNIT_COUNT];
};

static_assert(std::is_trivially_copyable_v<SystemConfiguration>);

// Copies the whole record, the bytes behind each string's terminator included.
inline void CopyConfiguration(SystemConfiguration& destination, const SystemConfiguration& source)
{
    std::memcpy(&destination, &source, sizeof destination);
}

inline void ClearConfiguration(SystemConfiguration& image) { std::memset(&image, 0, sizeof image); }

// The text of a fixed-capacity field: up to its terminator, never past the capacity.
template <std::size_t N>
std::string_view FieldText(const char (&field)[N])
{
    const void* end = std::memchr(field, '\0', N);
    return std::string_view(field, end ? static_cast<const char*>(end) - field : N);
}

// Stores text in a fixed-capacity field, cut to N - 1 characters; the rest of the field is zeroed.
template <std::size_t N>
void SetFieldText(char (&field)[N], std::string_view text)
{
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

// Channels in use: 16 per module of a KX913, 32 for a KX927, none otherwise.
inline int ChannelsInUse(const UnitRecord& unit)
{
    if (unit.SLAVE_TYPE == UNIT_KX913) return 16 * (1 + static_cast<int>(unit.SLAVE_EXP & 3));
    if (unit.SLAVE_TYPE == UNIT_KX927) return 32;
    return 0;
}

} // namespace tarn
