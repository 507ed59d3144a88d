// The simulated KX940 gateway: its programmed configuration, the units it really
// finds, live readings, line figures, the control word and the calibration of
// each unit, with the two protocols as pure request -> reply functions. Time is
// passed in (ms since the simulator started) so replies are reproducible.
#pragma once

#include "config/model.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::sim {

inline constexpr int SETTING_COUNT = 16;
inline constexpr std::uint16_t MODEL_CODE = 0x0940;   // register 0x0400

// Register map of the Modbus link (holding registers, function 3).
inline constexpr unsigned REG_VALUES = 0x0000;        // + 64 (n-1) + channel - 1
inline constexpr unsigned REG_WORDS = 0x0200;         // + 64 (n-1) + channel - 1
inline constexpr unsigned REG_MASTER = 0x0400;        // model code, then S0.01..S0.16
inline constexpr unsigned REG_STATUS = 0x0420;        // + 32 (n-1): found, -, programmed, -, line 1, line 2
inline constexpr unsigned MODBUS_MAX_REGISTERS = 125;

// Modbus exception codes of a function 3 reply.
inline constexpr std::uint8_t EXCEPTION_ILLEGAL_ADDRESS = 0x02;
inline constexpr std::uint8_t EXCEPTION_ILLEGAL_VALUE = 0x03;

// Gateway control word S0.05.
inline constexpr std::uint32_t CONTROL_DIAGNOSTIC = 0x1000;
inline constexpr std::uint32_t CONTROL_CLEAR_OVERRIDE = 0x0100;
inline constexpr std::uint32_t CONTROL_CALIBRATE_BEGIN = 0x0400;  // + unit index 0..3
inline constexpr std::uint32_t CONTROL_CALIBRATE_STORE = 0x0800;  // + unit index 0..3
inline constexpr std::uint32_t OVERRIDE_LINE1 = 0x0040;
inline constexpr std::uint32_t OVERRIDE_LINE2 = 0x0080;

// Channel configuration words the calibration puts on channel 1.
inline constexpr std::uint32_t CALIBRATION_MV_WORD = 0x1801;   // -21..+21 mV, slow filter
inline constexpr std::uint32_t CALIBRATION_OHM_WORD = 0x1883;  // 0..400 Ohm, 4 wire, slow filter

// The calibrator a technician connects to channel 1 of a unit under calibration. It follows
// the calibration as a technician follows the program's step button: 0 mV when the millivolt
// word goes on channel 1, 20 mV once the zero step is over (a zero coefficient has been stored
// and channel 1 has since read 0 mV on target as the program decides it: ten readings, the
// last within 1 count of 0 and within 2 of their average), 400.0 Ohm with the resistance word,
// nothing with any other word.
struct Calibrator {
    enum Phase { Off, Zero, Span, Resistance };
    Phase phase = Off;
    int unit = 0;                 // 1..4 while connected
    int connections = 0;          // millivolt connections so far
    std::int32_t lead_uv = 0;     // thermal EMF of this connection's leads, in microvolts
    bool zero_stored = false;     // a zero coefficient written since the zero step began
    std::vector<std::int32_t> readings;  // channel 1 read since then, at most ten, oldest first
};

// What a unit position holds besides its programmed configuration.
struct UnitHardware {
    std::uint32_t found = 0;                  // Unit descriptor word of the unit present
    std::uint32_t line1 = 100;                // receive-error figures, 0 best .. 100 no contact
    std::uint32_t line2 = 100;
    // Measurement errors of the unit's input stage before calibration.
    double offset_uv = 0;                     // mV path, in microvolts
    double gain_error = 0;                    // mV path, relative
    double resistance_gain_error = 0;         // resistance path, relative
    // Per channel (analog: index 0..63; digital: group 0..3 in the first four):
    std::array<std::optional<std::uint16_t>, CHANNEL_COUNT> pinned{};  // reading given as is
    std::array<std::optional<std::int32_t>, CHANNEL_COUNT> input{};    // applied signal, ideal raw units
};

class Gateway {
public:
    // The gateway programmed with configuration; the units found are the programmed ones.
    // Ideal inputs read an analog signal at once and exactly (through the unit's errors and
    // coefficients). Realistic inputs are what the simulator serves: each unit has drifted a
    // little since its factory calibration, a reading settles after a change with the time
    // constant of the channel's filter and carries a little noise, a 3-wire connection reads
    // its lead imbalance, and each calibrator connection brings a small thermal EMF.
    explicit Gateway(const SystemConfiguration& configuration, bool realisticInputs = false);

    // One serial request without its carriage return; the reply without its carriage return,
    // or nothing for a request the gateway does not understand.
    std::optional<std::string> HandleSerialRequest(std::string_view request, std::int64_t now_ms);
    // One Modbus RTU frame, CRC included; the reply frame with its CRC, or nothing (another
    // slave address, bad CRC, function other than 3, wrong length).
    std::optional<std::vector<std::uint8_t>> HandleModbusFrame(const std::uint8_t* frame, std::size_t length,
                                                                std::int64_t now_ms) const;
    // A holding register; nothing for an address outside the map.
    std::optional<std::uint16_t> ReadRegister(unsigned address, std::int64_t now_ms) const;

    // The value of D<unit>.<index>: unit 1..4, index 1..64.
    std::uint16_t Reading(int unit, int index, std::int64_t now_ms) const;
    // Setting 1..16 of unit 0..4 as a read at now_ms returns it. The line figures n.05 and n.06
    // are the share of telegrams lost in % (0 good .. 100 no contact); in diagnostic mode they
    // are the raw count of telegrams lost since the mode was switched on (the gateway polls each
    // unit 10 times a second on each line).
    std::uint16_t Setting(int unit, int setting, std::int64_t now_ms = 0) const;

    // Controls of the simulator's operator; false for a unit, channel or value out of range.
    bool SetFound(int unit, std::uint32_t descriptor);              // unit 1..4
    bool PinValue(int unit, int index, std::uint32_t raw);          // index 1..64
    // The next count tag writes keep a tag other than the one they echo: a gateway whose
    // memory fails behind a line that answers well.
    void MangleTagWrites(int count) { mangle_tags_ = count; }
    bool ApplyInput(int unit, int channel, std::int32_t signal, std::int64_t now_ms = 0);  // channel 1..64
    bool SetLineFigures(int unit, std::uint32_t line1, std::uint32_t line2);
    bool SetOverride(int line);                                     // 0 none, 1, 2

    // The programmed configuration as the gateway holds it (tags, words, master settings).
    SystemConfiguration Programmed() const;
    std::uint32_t ModbusAddress() const { return settings_[0][9]; }
    // Baud rate and bits per character of the configured Modbus line.
    int ModbusBaud() const;
    int ModbusBitsPerCharacter() const;

private:
    std::optional<std::string> ReadRequest(char letter, int unit, int number, std::int64_t now_ms) const;
    std::optional<std::string> WriteRequest(char letter, int unit, int number, std::string_view value,
                                            std::int64_t now_ms);
    // Stores a setting when the gateway accepts the value; the value the setting then holds.
    std::uint16_t WriteSetting(int unit, int setting, std::uint32_t value, std::int64_t now_ms);
    std::uint16_t AnalogReading(int unit, int channel, std::int64_t now_ms) const;
    // The settled reading of an analog channel, before rounding: the signal through the unit's
    // errors, coefficients and wiring.
    double SettledLevel(int unit, int channel, std::int64_t now_ms) const;
    // The reading on its way to the settled level, without noise.
    double Level(int unit, int channel, std::int64_t now_ms) const;
    // Runs change, which moves the settled level of the channels first..last of unit, and lets
    // their readings settle from where they were.
    template <typename Change>
    void Settle(int unit, int first, int last, std::int64_t now_ms, Change change);
    std::uint16_t DigitalGroup(int unit, int group, std::int64_t now_ms) const;
    // Puts the calibrator's reference on channel 1 of a unit under calibration.
    void FollowCalibrator(int unit, std::int64_t now_ms);
    // The calibrator watches channel 1's readings and the zero coefficient being stored.
    void CalibratorSawReading(int unit, int index, std::int32_t reading, std::int64_t now_ms);
    int CalibratingUnit() const;  // 1..4, or 0

    // settings_[unit][setting]; index 0 unused. Unit 0 holds the master settings.
    std::array<std::array<std::uint16_t, SETTING_COUNT + 1>, UNIT_COUNT + 1> settings_{};
    std::string master_tag_;
    int mangle_tags_ = 0;
    struct Channel {
        std::string tag;
        std::uint16_t word = 0;
    };
    std::array<std::array<Channel, CHANNEL_COUNT>, UNIT_COUNT> channels_{};
    std::array<UnitHardware, UNIT_COUNT> hardware_{};
    bool realistic_ = false;
    // Where each analog reading settles from: its distance from the settled level at since_ms.
    struct Settling {
        double from = 0;
        std::int64_t since_ms = 0;
    };
    std::array<std::array<Settling, CHANNEL_COUNT>, UNIT_COUNT> settling_{};
    Calibrator calibrator_;
    std::uint32_t override_ = 0;   // OVERRIDE_LINE1, OVERRIDE_LINE2 or 0
    std::int64_t diagnostic_since_ms_ = 0;  // when diagnostic mode was last switched on
};

// The sources of the simulated signals, as pure functions of the channel and the time.

// A plausible reading for an analog channel type in its raw units (0.001 mV, 0.01 mV, 0.1 Ohm,
// 0.1 degC), slowly varying with the time; 0 for type 0 and undefined types.
std::int32_t GeneratedSignal(int unit, int channel, std::uint32_t type, std::int64_t now_ms);
// State bit (bit 0) and fault bit (bit 1) of one digital channel for its configuration word.
unsigned GeneratedDigital(int unit, int channel, std::uint32_t word, std::int64_t now_ms);

// The reading an analog input stage gives for signal (ideal raw units of type) with its errors
// and calibration coefficients (zero, span, resistance as signed 16-bit). Only types 1..3 pass
// through the corrected paths; other types read the signal as it is. Clamped to 16 bits.
std::int32_t MeasuredReading(std::uint32_t type, std::int32_t signal, const UnitHardware& hw, std::int32_t zero,
                             std::int32_t span, std::int32_t resistance);
// The same before rounding and clamping.
double MeasuredLevel(std::uint32_t type, double signal, const UnitHardware& hw, std::int32_t zero, std::int32_t span,
                     std::int32_t resistance);

// Time constant in ms of the input filter (analog word bits 11..12: none, fast, medium, slow),
// and the peak noise in counts that it lets through.
int FilterTimeConstantMs(std::uint32_t filter);
double FilterNoise(std::uint32_t filter);

} // namespace tarn::sim
