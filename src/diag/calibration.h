// The calibration of a KX913 analog unit (commands 5100..5400). With reference
// signals on the unit's channel 1, three coefficients held by the unit - zero, span
// and resistance - are adjusted in closed loop until channel 1 reads the reference,
// and each corrected coefficient is stored in the unit through the gateway. The
// dialog shows the step state and forwards the step button, Cancel (and Escape)
// and its 200 ms timer ticks.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <string>

namespace tarn {

inline constexpr int CAL_TICK_MS = 200;
inline constexpr int CAL_ITERATION_LIMIT = 300;      // ticks an adjustment may take
inline constexpr int CAL_WINDOW = 10;                // readings of the stability window
inline constexpr int CAL_STABLE_SPREAD = 2;          // a stable reading is this close to the average
inline constexpr int CAL_WINDOW_MARK = 200000;       // no real reading comes near it
inline constexpr std::uint32_t CAL_MILLIVOLT_WORD = 6145;   // 0x1801: -21..+21 mV, slow filter
inline constexpr std::uint32_t CAL_RESISTANCE_WORD = 6275;  // 0x1883: 0..400 Ohm, 4 wire, slow filter
inline constexpr std::uint32_t CAL_CONTROL_BEGIN = 0x0400;  // + unit index, S0.05
inline constexpr std::uint32_t CAL_CONTROL_STORE = 0x0800;  // + unit index, S0.05
inline constexpr int CAL_BEEP_HZ = 2000;
inline constexpr int CAL_BEEP_MS = 50;

// Step states; the step button shows text 336 + state.
enum CalibrationState : int {
    CAL_WAITING = 0,
    CAL_APPLY_ZERO = 1,
    CAL_ZERO = 2,
    CAL_APPLY_SPAN = 3,
    CAL_SPAN = 4,
    CAL_APPLY_RESISTANCE = 5,
    CAL_RESISTANCE = 6,
    CAL_DONE = 7,
    CAL_INTERRUPTED = 8,
};

enum class Adjustment { Zero, Span, Resistance };
enum class AdjustmentResult { Wait, Done, Abort };

// The rules of one adjustment, pure. r is the reading of channel 1 in the channel type's raw
// units (0.001 mV, 0.1 Ohm).
bool OnTarget(Adjustment a, int r);
// The coefficient corrected for a reading that is off target.
int CorrectedCoefficient(Adjustment a, int coefficient, int r);
bool CoefficientInRange(Adjustment a, int coefficient);
int CoefficientSetting(Adjustment a);  // 9, 10, 11

// The last ten readings, oldest first.
class StabilityWindow {
public:
    // Shifts in r; true when r differs from the average of the ten places (integer division
    // toward zero) by at most 2.
    bool Push(int r);
    // Puts the mark into the newest place, so nothing reads as stable before ten fresh readings.
    void Mark() { places_[CAL_WINDOW - 1] = CAL_WINDOW_MARK; }

private:
    std::array<int, CAL_WINDOW> places_{};
};

class Calibration {
public:
    Calibration(GatewayLinks& links, int unit);  // unit index 0..3

    // The command's work before the dialog: opens the serial link (text 228), checks that both
    // descriptors of the position are a KX913 (text 331), puts the gateway into calibration
    // (S0.05), keeps channel 1's word and switches channel 1 to the millivolt word - only once
    // that word has been read: a failed read ends the command with text 395, channel 1 untouched.
    // 1: run the dialog, then Finish with its result. 0: the command has ended.
    int Begin();
    // After the dialog: channel 1's kept word is written back once when it was read, the link
    // closed, text 395 shown when the result is 0 or that write-back failed, a full refresh
    // asked for.
    void Finish(int dialogResult);

    // Dialog start: S0.05 and the three coefficients read (a failure only clears the flag).
    // Coefficients, like readings, are 16-bit figures; a reply without one or beyond 65535 is a
    // failed read.
    void Start();

    enum class Action { None, End };  // End: close the dialog with Result()
    Action StepClicked();
    Action CancelClicked();  // the Cancel button and the Escape key

    struct TickOutcome {
        Action action = Action::None;
        bool beep = false;   // CAL_BEEP_HZ for CAL_BEEP_MS
    };
    TickOutcome Tick();

    int Result() const { return flag_; }
    int StepState() const { return state_; }
    int Unit() const { return unit_; }
    int CommunicationFlag() const { return flag_; }
    int Zero() const { return zero_; }
    int Span() const { return span_; }
    int Resistance() const { return resistance_; }
    int Reading() const { return reading_; }
    int Iterations() const { return iterations_; }

    // The dialog's texts, in the current language.
    std::string Caption() const;               // "Calibration of KX913 # 1"
    std::string StepButtonText() const;
    std::string CoefficientText(int coefficient) const;  // "%d ", empty until all three were read
    const std::string& ReadingText() const { return readingText_; }
    bool CancelVisible() const { return cancelVisible_; }
    bool LampVisible() const { return lamp_; }

private:
    AdjustmentResult Adjust(Adjustment a, bool& beep);

    GatewayLinks& links_;
    int& Coefficient(Adjustment a);
    void BeginAdjustment();

    int unit_;
    int flag_ = 1;
    int state_ = CAL_WAITING;
    int zero_ = 0, span_ = 0, resistance_ = 0;
    int reading_ = 0;
    std::string readingText_;
    StabilityWindow window_;
    int iterations_ = 0;
    std::uint32_t savedWord_ = 0;
    bool wordRead_ = false;
    bool coefficientsRead_ = false;
    unsigned blink_ = 0;
    bool lamp_ = false;
    bool cancelVisible_ = true;
};

} // namespace tarn
