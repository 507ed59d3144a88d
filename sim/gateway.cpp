#include "sim/gateway.h"

#include "config/channel_word.h"
#include "link/modbus_frame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace tarn::sim {

namespace {

constexpr int kBaudRates[] = {4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::uint32_t kMasterParameter1 = 0x0215;  // what the gateway reports as S0.01

std::int32_t Signed16(std::uint32_t value) { return value > 32767 ? static_cast<std::int32_t>(value) - 65536 : static_cast<std::int32_t>(value); }
std::uint16_t Unsigned16(std::int32_t value) { return static_cast<std::uint16_t>(value < 0 ? value + 65536 : value); }

// Digits of a request field: at most max_digits, at least one.
bool ParseNumber(std::string_view text, std::size_t& pos, int max_digits, std::int64_t& value)
{
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && static_cast<int>(pos - start) < max_digits) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start && (pos == text.size() || text[pos] < '0' || text[pos] > '9');
}

std::string Reply(char letter, int unit, int number, std::uint32_t value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%c%d.%02d=%04u", letter, unit, number, static_cast<unsigned>(value));
    return buffer;
}

std::string TagReply(int unit, int number, const std::string& tag)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "T%d.%02d=", unit, number);
    std::string reply = buffer + tag;
    reply.resize(6 + 16, ' ');
    return reply;
}

std::uint32_t Hash(int unit, int channel)
{
    return static_cast<std::uint32_t>(unit * 64 + channel) * 2654435761u;
}

// The analog input stage converts every 50 ms; each conversion has its own noise.
constexpr std::int64_t kConversionMs = 50;

// Uniform in -1..1, fixed by the channel and the conversion.
double NoiseSample(int unit, int channel, std::int64_t now_ms)
{
    std::uint32_t h = Hash(unit, channel) ^ static_cast<std::uint32_t>(now_ms / kConversionMs) * 0x9E3779B1u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return static_cast<double>(h % 20001) / 10000.0 - 1.0;
}

// Resistance types whose leads enter the reading on a 3-wire connection, and their imbalance
// in raw counts (0.2 Ohm: 2 counts of 0.1 Ohm, about 0.5 degC on a resistance thermometer).
double LeadImbalance(std::uint32_t type)
{
    if (type == 3) return 2;
    if (type >= 19 && type <= 29) return 5;
    return 0;
}

// The thermal EMF of the calibrator's leads on its n-th connection, in microvolts: never the
// same twice running, so each zero step has something to correct.
std::int32_t LeadEmf(int connection)
{
    const std::int32_t size = 8 + 4 * (connection % 3);
    return connection % 2 ? size : -size;
}

} // namespace

Gateway::Gateway(const SystemConfiguration& c, bool realisticInputs) : realistic_(realisticInputs)
{
    auto& m = settings_[0];
    m[1] = kMasterParameter1;
    m[3] = static_cast<std::uint16_t>((c.MASTER_CABLE & 3) | (c.MASTER_FREQ & 1) << 2 | (c.MASTER_MOD_CONFIG & 1) << 3);
    std::uint32_t repeaters = (c.MASTER_REPT & 7) << 12;
    for (int i = 0; i < REPEATER_COUNT; ++i) repeaters |= (c.MASTER_REPT_MAT[i] & 3) << (3 * i);
    m[4] = static_cast<std::uint16_t>(repeaters);
    m[9] = static_cast<std::uint16_t>(c.MASTER_MOD_ADDR);
    m[10] = static_cast<std::uint16_t>(c.MASTER_MOD_BAUD);
    m[11] = static_cast<std::uint16_t>(c.MASTER_MOD_FORM);
    master_tag_ = std::string(FieldText(c.MASTER_TAG));

    for (int i = 0; i < UNIT_COUNT; ++i) {
        const UnitRecord& unit = c.units[i];
        auto& s = settings_[i + 1];
        auto& hw = hardware_[i];
        const std::uint32_t descriptor = EncodeUnitDescriptor(unit.SLAVE_TYPE, unit.SLAVE_EXP & 3);
        s[3] = static_cast<std::uint16_t>(descriptor);
        s[16] = Unsigned16(unit.SLAVE_CJC);
        // Every unit has its own small input errors; the factory coefficients cancel them
        // to within a count, as a unit leaves the factory calibrated.
        hw.offset_uv = 35 + 9 * i;
        hw.gain_error = 0.0042 + 0.0011 * i;
        hw.resistance_gain_error = -0.0031 + 0.0008 * i;
        s[9] = Unsigned16(static_cast<std::int32_t>(std::lround(hw.offset_uv / 1.92)));
        s[10] = Unsigned16(static_cast<std::int32_t>(std::lround(-hw.gain_error * 20000)));
        s[11] = Unsigned16(static_cast<std::int32_t>(std::lround(-hw.resistance_gain_error * 24000)));
        if (realistic_) {
            // Ageing since the factory: some 30 counts of span and 5 of resistance to correct.
            hw.gain_error += 0.0015 + 0.0004 * i;
            hw.resistance_gain_error -= 0.0012 + 0.0003 * i;
        }
        if (DecodeUnitDescriptor(descriptor).type != UNIT_NONE) {
            hw.found = descriptor;
            hw.line1 = 1 + i;
            hw.line2 = 3 + 2 * i;
        }
        for (int ch = 0; ch < CHANNEL_COUNT; ++ch) {
            channels_[i][ch].tag = std::string(FieldText(unit.channels[ch].tag));
            channels_[i][ch].word = static_cast<std::uint16_t>(unit.channels[ch].word);
        }
    }
}

std::optional<std::string> Gateway::HandleSerialRequest(std::string_view request, std::int64_t now_ms)
{
    if (request.size() < 4) return std::nullopt;
    const char letter = request[0];
    if (letter != 'C' && letter != 'S' && letter != 'T' && letter != 'D') return std::nullopt;
    std::size_t pos = 1;
    std::int64_t unit = 0;
    std::int64_t number = 0;
    if (!ParseNumber(request, pos, 3, unit) || pos >= request.size() || request[pos] != '.') return std::nullopt;
    ++pos;
    if (!ParseNumber(request, pos, 3, number)) return std::nullopt;

    bool valid = false;
    switch (letter) {
    case 'C':
    case 'D': valid = unit >= 1 && unit <= UNIT_COUNT && number >= 1 && number <= CHANNEL_COUNT; break;
    case 'S': valid = unit >= 0 && unit <= UNIT_COUNT && number >= 1 && number <= SETTING_COUNT; break;
    case 'T': valid = unit == 0 ? number == 1 : unit <= UNIT_COUNT && number >= 1 && number <= CHANNEL_COUNT; break;
    }
    if (!valid) return std::nullopt;
    const int u = static_cast<int>(unit);
    const int n = static_cast<int>(number);
    if (pos == request.size() && letter == 'D') {
        const std::uint16_t value = Reading(u, n, now_ms);
        CalibratorSawReading(u, n, Signed16(value), now_ms);
        return Reply(letter, u, n, value);
    }
    if (pos == request.size()) return ReadRequest(letter, u, n, now_ms);
    if (request[pos] != '=' || letter == 'D') return std::nullopt;
    return WriteRequest(letter, u, n, request.substr(pos + 1), now_ms);
}

std::optional<std::string> Gateway::ReadRequest(char letter, int unit, int number, std::int64_t now_ms) const
{
    switch (letter) {
    case 'C': return Reply(letter, unit, number, channels_[unit - 1][number - 1].word);
    case 'S': return Reply(letter, unit, number, Setting(unit, number, now_ms));
    case 'D': return Reply(letter, unit, number, Reading(unit, number, now_ms));
    default: return TagReply(unit, number, unit == 0 ? master_tag_ : channels_[unit - 1][number - 1].tag);
    }
}

std::optional<std::string> Gateway::WriteRequest(char letter, int unit, int number, std::string_view text,
                                                 std::int64_t now_ms)
{
    if (letter == 'T') {
        std::string& tag = unit == 0 ? master_tag_ : channels_[unit - 1][number - 1].tag;
        tag = std::string(text.substr(0, 16));
        const std::string echo = TagReply(unit, number, tag);
        if (mangle_tags_ > 0 && mangle_tags_-- > 0) tag = "?" + tag.substr(tag.empty() ? 0 : 1);
        return echo;
    }
    // Values are signed decimal; 16-bit quantities may come as negative two's complement.
    std::size_t pos = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) pos = 1;
    std::int64_t value = 0;
    if (!ParseNumber(text, pos, 10, value) || pos != text.size()) return std::nullopt;
    if (negative) value = -value;
    // A value no 16-bit register can hold is refused: the echo carries the unchanged value.
    const bool representable = value >= -32768 && value <= 65535;
    const std::uint32_t v = static_cast<std::uint32_t>(value < 0 ? value + 65536 : value);

    if (letter == 'C') {
        Channel& channel = channels_[unit - 1][number - 1];
        if (representable) {
            Settle(unit, number, number, now_ms, [&] {
                channel.word = static_cast<std::uint16_t>(v);
                if (number == 1 && unit == CalibratingUnit()) FollowCalibrator(unit, now_ms);
            });
        }
        return Reply(letter, unit, number, channel.word);
    }
    if (!representable) return Reply(letter, unit, number, Setting(unit, number, now_ms));
    return Reply(letter, unit, number, WriteSetting(unit, number, v, now_ms));
}

std::uint16_t Gateway::WriteSetting(int unit, int setting, std::uint32_t value, std::int64_t now_ms)
{
    auto& s = settings_[unit];
    bool accepted = true;
    if (unit == 0) {
        switch (setting) {
        case 3: accepted = value <= 0x0F; break;
        case 5: {
            // The clear request acts once and is not kept; bits 6-7 are the gateway's own state.
            if (value & CONTROL_CLEAR_OVERRIDE) override_ = 0;
            if ((value & CONTROL_DIAGNOSTIC) && !(s[5] & CONTROL_DIAGNOSTIC)) diagnostic_since_ms_ = now_ms;
            s[5] = static_cast<std::uint16_t>(value & ~(CONTROL_CLEAR_OVERRIDE | OVERRIDE_LINE1 | OVERRIDE_LINE2));
            return static_cast<std::uint16_t>(value);  // echoed as written
        }
        case 9: accepted = value >= 1 && value <= 250; break;
        case 10: accepted = value <= 5; break;
        case 11: accepted = value <= 3; break;
        default: break;
        }
    } else {
        switch (setting) {
        case 1:   // the unit really present
        case 5:   // line figures are measured by the gateway
        case 6: accepted = false; break;
        case 3: accepted = value <= 0xFF; break;
        case 16: accepted = Signed16(value) >= -400 && Signed16(value) <= 1000; break;
        default: break;
        }
    }
    if (!accepted) return Setting(unit, setting, now_ms);
    if (unit > 0 && setting >= 9 && setting <= 11) {
        // A coefficient acts on every channel of the unit at once.
        Settle(unit, 1, CHANNEL_COUNT, now_ms, [&] { s[setting] = static_cast<std::uint16_t>(value); });
        if (setting == 9 && unit == calibrator_.unit && calibrator_.phase == Calibrator::Zero) {
            calibrator_.zero_stored = true;
            calibrator_.readings.clear();
        }
    } else {
        s[setting] = static_cast<std::uint16_t>(value);
    }
    return Setting(unit, setting, now_ms);
}

std::uint16_t Gateway::Setting(int unit, int setting, std::int64_t now_ms) const
{
    if (unit == 0 && setting == 5) return static_cast<std::uint16_t>(settings_[0][5] | override_);
    if (unit > 0) {
        const UnitHardware& hw = hardware_[unit - 1];
        if (setting == 1) return static_cast<std::uint16_t>(hw.found);
        if (setting == 5 || setting == 6) {
            const std::uint32_t figure = setting == 5 ? hw.line1 : hw.line2;
            if (!(settings_[0][5] & CONTROL_DIAGNOSTIC)) return static_cast<std::uint16_t>(figure);
            const std::int64_t elapsed_ms = std::max<std::int64_t>(0, now_ms - diagnostic_since_ms_);
            const std::int64_t lost = std::min<std::int64_t>(figure, 100) * elapsed_ms / 10000;
            return static_cast<std::uint16_t>(std::min<std::int64_t>(lost, 0xFFFF));
        }
    }
    return settings_[unit][setting];
}

int Gateway::CalibratingUnit() const
{
    const std::uint32_t w = settings_[0][5];
    const std::uint32_t command = w & 0xFF00;
    if ((command == CONTROL_CALIBRATE_BEGIN || command == CONTROL_CALIBRATE_STORE) && (w & 0xFF) < UNIT_COUNT)
        return static_cast<int>(w & 0xFF) + 1;
    return 0;
}

void Gateway::FollowCalibrator(int unit, std::int64_t)
{
    // The operator may still set any signal with ApplyInput while the calibrator is connected.
    UnitHardware& hw = hardware_[unit - 1];
    const std::uint32_t word = channels_[unit - 1][0].word;
    hw.pinned[0].reset();
    Calibrator& cal = calibrator_;
    if (word == CALIBRATION_MV_WORD) {
        ++cal.connections;
        cal.lead_uv = realistic_ ? LeadEmf(cal.connections) : 0;
        cal.phase = Calibrator::Zero;
        cal.unit = unit;
        cal.zero_stored = false;
        cal.readings.clear();
        hw.input[0] = cal.lead_uv;
    } else if (word == CALIBRATION_OHM_WORD) {
        cal.phase = Calibrator::Resistance;
        cal.unit = unit;
        hw.input[0] = 4000;
    } else {
        cal.phase = Calibrator::Off;
        cal.unit = 0;
        hw.input[0].reset();
    }
}

void Gateway::CalibratorSawReading(int unit, int index, std::int32_t reading, std::int64_t now_ms)
{
    Calibrator& cal = calibrator_;
    if (cal.phase != Calibrator::Zero || unit != cal.unit || index != 1) return;
    cal.readings.push_back(reading);
    if (cal.readings.size() > 10) cal.readings.erase(cal.readings.begin());
    if (!cal.zero_stored || cal.readings.size() < 10) return;
    std::int32_t sum = 0;
    for (std::int32_t r : cal.readings) sum += r;
    const std::int32_t average = sum / 10;
    if (std::abs(reading) > 1 || std::abs(reading - average) > 2) return;
    cal.phase = Calibrator::Span;
    Settle(unit, 1, 1, now_ms, [&] { hardware_[unit - 1].input[0] = 20000 + cal.lead_uv; });
}

template <typename Change>
void Gateway::Settle(int unit, int first, int last, std::int64_t now_ms, Change change)
{
    if (!realistic_) {
        change();
        return;
    }
    std::array<double, CHANNEL_COUNT> was{};
    for (int ch = first; ch <= last; ++ch) was[ch - 1] = Level(unit, ch, now_ms);
    change();
    for (int ch = first; ch <= last; ++ch)
        settling_[unit - 1][ch - 1] = {was[ch - 1] - SettledLevel(unit, ch, now_ms), now_ms};
}

std::uint16_t Gateway::Reading(int unit, int index, std::int64_t now_ms) const
{
    const UnitHardware& hw = hardware_[unit - 1];
    const UnitDescriptor found = DecodeUnitDescriptor(hw.found);
    if (found.type == UNIT_KX913) {
        if (index > 16 * static_cast<int>(found.expansions + 1)) return 0;
        if (hw.pinned[index - 1]) return *hw.pinned[index - 1];
        return AnalogReading(unit, index, now_ms);
    }
    if (found.type == UNIT_KX927) {
        if (index > 4) return 0;
        if (hw.pinned[index - 1]) return *hw.pinned[index - 1];
        return DigitalGroup(unit, index - 1, now_ms);
    }
    return 0;
}

std::uint16_t Gateway::AnalogReading(int unit, int channel, std::int64_t now_ms) const
{
    const std::uint32_t word = channels_[unit - 1][channel - 1].word;
    if ((word & 0x3F) == 0) return 0;
    double level = Level(unit, channel, now_ms);
    if (realistic_) level += FilterNoise(word >> 11 & 3) * NoiseSample(unit, channel, now_ms);
    return Unsigned16(static_cast<std::int32_t>(std::clamp(std::lround(level), -32768L, 32767L)));
}

double Gateway::SettledLevel(int unit, int channel, std::int64_t now_ms) const
{
    const UnitHardware& hw = hardware_[unit - 1];
    const std::uint32_t word = channels_[unit - 1][channel - 1].word;
    const std::uint32_t type = word & 0x3F;
    if (type == 0) return 0;
    const std::int32_t signal = hw.input[channel - 1] ? *hw.input[channel - 1] : GeneratedSignal(unit, channel, type, now_ms);
    const auto& s = settings_[unit];
    double level = MeasuredLevel(type, signal, hw, Signed16(s[9]), Signed16(s[10]), Signed16(s[11]));
    const bool threeWire = (word >> 7 & 1) == 0;
    if (realistic_ && threeWire) level += LeadImbalance(type);
    return level;
}

double Gateway::Level(int unit, int channel, std::int64_t now_ms) const
{
    const double settled = SettledLevel(unit, channel, now_ms);
    if (!realistic_) return settled;
    const Settling& from = settling_[unit - 1][channel - 1];
    const int tau = FilterTimeConstantMs(channels_[unit - 1][channel - 1].word >> 11 & 3);
    const std::int64_t elapsed = now_ms - from.since_ms;
    if (from.from == 0 || tau == 0 || elapsed > 30 * tau) return settled;
    return settled + from.from * std::exp(-static_cast<double>(std::max<std::int64_t>(elapsed, 0)) / tau);
}

std::uint16_t Gateway::DigitalGroup(int unit, int group, std::int64_t now_ms) const
{
    std::uint32_t packed = 0;
    for (int k = 0; k < 8; ++k) {
        const int channel = 8 * group + k;
        const unsigned bits = GeneratedDigital(unit, channel, channels_[unit - 1][channel].word, now_ms);
        packed |= (bits & 1u) << k;
        packed |= ((bits >> 1) & 1u) << (k + 8);
    }
    return static_cast<std::uint16_t>(packed);
}

std::optional<std::uint16_t> Gateway::ReadRegister(unsigned address, std::int64_t now_ms) const
{
    if (address < REG_VALUES + 64 * UNIT_COUNT)
        return Reading(static_cast<int>(address / 64) + 1, static_cast<int>(address % 64) + 1, now_ms);
    if (address >= REG_WORDS && address < REG_WORDS + 64 * UNIT_COUNT) {
        const unsigned offset = address - REG_WORDS;
        return channels_[offset / 64][offset % 64].word;
    }
    if (address == REG_MASTER) return MODEL_CODE;
    if (address > REG_MASTER && address < REG_STATUS) {
        const unsigned setting = address - REG_MASTER;
        return setting <= SETTING_COUNT ? Setting(0, static_cast<int>(setting)) : std::uint16_t{0};
    }
    if (address >= REG_STATUS && address < REG_STATUS + 32 * UNIT_COUNT) {
        const int unit = static_cast<int>((address - REG_STATUS) / 32) + 1;
        switch ((address - REG_STATUS) % 32) {
        case 0: return Setting(unit, 1, now_ms);
        case 2: return Setting(unit, 3, now_ms);
        case 4: return Setting(unit, 5, now_ms);
        case 5: return Setting(unit, 6, now_ms);
        default: return std::uint16_t{0};
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> Gateway::HandleModbusFrame(const std::uint8_t* frame, std::size_t length,
                                                                     std::int64_t now_ms) const
{
    if (ModbusPayloadLength(frame, length) != 6) return std::nullopt;
    const unsigned first = static_cast<unsigned>(frame[2]) << 8 | frame[3];
    const unsigned count = static_cast<unsigned>(frame[4]) << 8 | frame[5];
    // The factory test's stress request reads register 0 at address 1 whatever the configured
    // address; the gateway answers it as its own.
    const bool stress = frame[0] == 1 && frame[1] == 3 && first == 0 && count == 1;
    if (!stress && (frame[0] == 0 || frame[0] != (ModbusAddress() & 0xFF) || frame[1] != 3)) return std::nullopt;

    std::vector<std::uint8_t> reply{frame[0], 3};
    std::uint8_t exception = 0;
    if (count == 0 || count > MODBUS_MAX_REGISTERS) {
        exception = EXCEPTION_ILLEGAL_VALUE;
    } else {
        reply.push_back(static_cast<std::uint8_t>(2 * count));
        for (unsigned i = 0; i < count && !exception; ++i) {
            const auto value = ReadRegister(first + i, now_ms);
            if (!value) {
                exception = EXCEPTION_ILLEGAL_ADDRESS;
                break;
            }
            reply.push_back(static_cast<std::uint8_t>(*value >> 8));
            reply.push_back(static_cast<std::uint8_t>(*value & 0xFF));
        }
    }
    if (exception) reply = {frame[0], 0x83, exception};
    return ModbusFrame(reply.data(), reply.size());
}

bool Gateway::SetFound(int unit, std::uint32_t descriptor)
{
    if (unit < 1 || unit > UNIT_COUNT || descriptor > 0xFF) return false;
    hardware_[unit - 1].found = descriptor;
    return true;
}

bool Gateway::PinValue(int unit, int index, std::uint32_t raw)
{
    if (unit < 1 || unit > UNIT_COUNT || index < 1 || index > CHANNEL_COUNT || raw > 0xFFFF) return false;
    hardware_[unit - 1].pinned[index - 1] = static_cast<std::uint16_t>(raw);
    return true;
}

bool Gateway::ApplyInput(int unit, int channel, std::int32_t signal, std::int64_t now_ms)
{
    if (unit < 1 || unit > UNIT_COUNT || channel < 1 || channel > CHANNEL_COUNT) return false;
    if (signal < -100000 || signal > 100000) return false;
    Settle(unit, channel, channel, now_ms, [&] {
        hardware_[unit - 1].pinned[channel - 1].reset();
        hardware_[unit - 1].input[channel - 1] = signal;
    });
    return true;
}

bool Gateway::SetLineFigures(int unit, std::uint32_t line1, std::uint32_t line2)
{
    if (unit < 1 || unit > UNIT_COUNT || line1 > 0xFFFF || line2 > 0xFFFF) return false;
    hardware_[unit - 1].line1 = line1;
    hardware_[unit - 1].line2 = line2;
    // With both lines in use, losing one line holds the gateway on the other until cleared.
    if ((settings_[0][3] & 3) >= 2 && override_ == 0) {
        if (line1 >= 100 && line2 < 100) override_ = OVERRIDE_LINE2;
        else if (line2 >= 100 && line1 < 100) override_ = OVERRIDE_LINE1;
    }
    return true;
}

bool Gateway::SetOverride(int line)
{
    if (line < 0 || line > 2) return false;
    override_ = line == 1 ? OVERRIDE_LINE1 : line == 2 ? OVERRIDE_LINE2 : 0;
    return true;
}

SystemConfiguration Gateway::Programmed() const
{
    SystemConfiguration c;
    ClearConfiguration(c);
    const auto& m = settings_[0];
    c.master_param1 = m[1];
    c.master_param2 = m[2];
    SetFieldText(c.MASTER_TAG, master_tag_);
    c.MASTER_CABLE = m[3] & 3;
    c.MASTER_FREQ = (m[3] >> 2) & 1;
    c.MASTER_MOD_CONFIG = (m[3] >> 3) & 1;
    c.MASTER_REPT = (m[4] >> 12) & 7;
    for (int i = 0; i < REPEATER_COUNT; ++i) c.MASTER_REPT_MAT[i] = (m[4] >> (3 * i)) & 3;
    c.MASTER_MOD_ADDR = m[9];
    c.MASTER_MOD_BAUD = m[10];
    c.MASTER_MOD_FORM = m[11];
    for (int i = 0; i < UNIT_COUNT; ++i) {
        UnitRecord& unit = c.units[i];
        const UnitDescriptor d = DecodeUnitDescriptor(settings_[i + 1][3]);
        unit.SLAVE_TYPE = d.type;
        unit.SLAVE_EXP = d.expansions;
        unit.SLAVE_CJC = Signed16(settings_[i + 1][16]);
        for (int ch = 0; ch < CHANNEL_COUNT; ++ch) {
            SetFieldText(unit.channels[ch].tag, channels_[i][ch].tag);
            unit.channels[ch].word = channels_[i][ch].word;
        }
    }
    return c;
}

int Gateway::ModbusBaud() const { return kBaudRates[std::min<unsigned>(settings_[0][10], 5)]; }

int Gateway::ModbusBitsPerCharacter() const { return settings_[0][11] == 0 ? 10 : 11; }

std::int32_t GeneratedSignal(int unit, int channel, std::uint32_t type, std::int64_t now_ms)
{
    struct Range {
        double low, high, amplitude;
    };
    Range r{};
    if (type == 1) r = {-15000, 15000, 150};          // 0.001 mV
    else if (type == 2) r = {500, 6500, 20};          // 0.01 mV
    else if (type == 3) r = {1000, 3500, 5};          // 0.1 Ohm
    else if (type == 4) r = {6000, 12000, 15};        // type B reads only hot: 0.1 degC
    else if (type >= 5 && type <= 18) r = {200, 5200, 15};
    else if (type >= 19 && type <= 29) r = {-200, 1500, 5};
    else if (type == 30) r = {200, 260, 2};
    else return 0;
    const std::uint32_t h = Hash(unit, channel);
    const double base = r.low + (r.high - r.low) * ((h >> 8) % 1000) / 1000.0;
    const std::int64_t period_ms = 20000 + (h % 40) * 1000;
    const double phase = static_cast<double>((now_ms + h) % period_ms) / static_cast<double>(period_ms);
    return static_cast<std::int32_t>(std::lround(base + r.amplitude * std::sin(2 * std::numbers::pi * phase)));
}

unsigned GeneratedDigital(int unit, int channel, std::uint32_t word, std::int64_t now_ms)
{
    const std::uint32_t mode = word & 3;
    if (mode == 0) return 0;
    const unsigned state = static_cast<unsigned>((now_ms / (1500 + 250 * channel) + channel + unit) & 1);
    // A channel with fault detection on a few inputs shows a broken or shorted wire.
    const unsigned fault = mode == 3 && channel % 13 == 5 ? 1u : 0u;
    return state | fault << 1;
}

std::int32_t MeasuredReading(std::uint32_t type, std::int32_t signal, const UnitHardware& hw, std::int32_t zero,
                             std::int32_t span, std::int32_t resistance)
{
    const double reading = MeasuredLevel(type, signal, hw, zero, span, resistance);
    return std::clamp<std::int32_t>(static_cast<std::int32_t>(std::lround(reading)), -32768, 32767);
}

int FilterTimeConstantMs(std::uint32_t filter)
{
    static constexpr int kTau[] = {0, 100, 200, 300};
    return kTau[filter & 3];
}

double FilterNoise(std::uint32_t filter)
{
    static constexpr double kNoise[] = {0.9, 0.6, 0.45, 0.35};
    return kNoise[filter & 3];
}

double MeasuredLevel(std::uint32_t type, double signal, const UnitHardware& hw, std::int32_t zero, std::int32_t span,
                     std::int32_t resistance)
{
    double reading = signal;
    if (type == 1 || type == 2) {
        // Millivolt path in microvolts: gain error corrected by span (1 count = 1 uV at 20 mV),
        // offset corrected by zero (1 count = 1.92 uV).
        const double uv = (type == 1 ? 1.0 : 10.0) * signal;
        const double measured = uv * (1.0 + hw.gain_error + span / 20000.0) + hw.offset_uv - 1.92 * zero;
        reading = type == 1 ? measured : measured / 10.0;
    } else if (type == 3) {
        // Resistance path: gain error corrected by the resistance coefficient (6 counts = 0.1 Ohm
        // at 400 Ohm).
        reading = signal * (1.0 + hw.resistance_gain_error + resistance / 24000.0);
    }
    return reading;
}

} // namespace tarn::sim
