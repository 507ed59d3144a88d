#include "diag/calibration.h"

#include "config/channel_word.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace tarn {

namespace {

constexpr std::uint32_t WORD_MAX = 0xFFFF;  // channel words, coefficients and readings are 16-bit

std::string NumberedText(int textId, int number)
{
    return GetText(textId) + " " + std::to_string(number);
}

} // namespace

bool OnTarget(Adjustment a, int r)
{
    switch (a) {
    case Adjustment::Zero: return std::abs(r) <= 1;
    case Adjustment::Span: return std::abs(r - 20000) <= 1;
    case Adjustment::Resistance: return r == 4000;
    }
    return false;
}

int CorrectedCoefficient(Adjustment a, int coefficient, int r)
{
    switch (a) {
    case Adjustment::Zero: return coefficient + r * 100 / 192;
    case Adjustment::Span: return coefficient - (r - 20000);
    case Adjustment::Resistance: return coefficient - 6 * (r - 4000);
    }
    return coefficient;
}

bool CoefficientInRange(Adjustment a, int c)
{
    switch (a) {
    case Adjustment::Zero: return c >= -1000 && c <= 1000;
    case Adjustment::Span: return c >= -32000 && c <= 32000;
    case Adjustment::Resistance: return c >= -32700 && c <= 32700;
    }
    return false;
}

int CoefficientSetting(Adjustment a)
{
    switch (a) {
    case Adjustment::Zero: return 9;
    case Adjustment::Span: return 10;
    case Adjustment::Resistance: return 11;
    }
    return 0;
}

bool StabilityWindow::Push(int r)
{
    std::copy(places_.begin() + 1, places_.end(), places_.begin());
    places_[CAL_WINDOW - 1] = r;
    const long long average = std::accumulate(places_.begin(), places_.end(), 0LL) / CAL_WINDOW;
    return std::llabs(r - average) <= CAL_STABLE_SPREAD;
}

Calibration::Calibration(GatewayLinks& links, int unit) : links_(links), unit_(unit) {}

int Calibration::Begin()
{
    if (!links_.OpenSerialWithMessage()) return 0;
    state_ = CAL_WAITING;
    flag_ = 1;
    wordRead_ = false;

    std::uint32_t found = 0, programmed = 0;
    if (!ReadSettingWithin(links_.Serial(), unit_ + 1, 1, 0, WORD_MAX, found) || !ReadSettingWithin(links_.Serial(), unit_ + 1, 3, 0, WORD_MAX, programmed)) {
        Finish(0);
        return 0;
    }
    if (DecodeUnitDescriptor(found).type != UNIT_KX913 || DecodeUnitDescriptor(programmed).type != UNIT_KX913) {
        ShowErrorBox(*links_.state().ui, NumberedText(TEXT_NOT_A_KX913, unit_ + 1));
        Finish(1);
        return 0;
    }
    if (!WriteSetting(links_.Serial(), 0, 5, CAL_CONTROL_BEGIN + static_cast<std::uint32_t>(unit_))) {
        Finish(0);
        return 0;
    }
    // Channel 1 is switched only when its word can be written back at the end.
    if (!ReadChannelConfigWithin(links_.Serial(), unit_ + 1, 1, 0, WORD_MAX, savedWord_)) {
        Finish(0);
        return 0;
    }
    wordRead_ = true;
    WriteChannelConfig(links_.Serial(), unit_ + 1, 1, CAL_MILLIVOLT_WORD);
    return 1;
}

void Calibration::Finish(int dialogResult)
{
    flag_ = dialogResult;
    // Once, whatever the outcome: a failed exchange must not leave the unit with the
    // calibration word in place of the user's, and a write-back that fails is one.
    if (wordRead_ && !WriteChannelConfig(links_.Serial(), unit_ + 1, 1, savedWord_)) flag_ = 0;
    wordRead_ = false;
    links_.CloseSerial();
    if (!flag_) ShowErrorBox(*links_.state().ui, GetText(TEXT_GATEWAY_COMMUNICATION_ERROR));
    links_.state().RequestRefresh(ViewRefresh::Full);
}

void Calibration::Start()
{
    const std::uint32_t store = CAL_CONTROL_STORE + static_cast<std::uint32_t>(unit_);
    std::uint32_t values[3] = {};
    if (flag_) flag_ = WriteSetting(links_.Serial(), 0, 5, store);
    for (int i = 0; i < 3 && flag_; ++i) flag_ = ReadSettingWithin(links_.Serial(), unit_ + 1, 9 + i, 0, WORD_MAX, values[i]);
    // The corrections start from these: a coefficient not read is neither shown nor corrected
    // (the first tick interrupts the calibration).
    coefficientsRead_ = flag_ != 0;
    zero_ = FromGateway16(values[0]);
    span_ = FromGateway16(values[1]);
    resistance_ = FromGateway16(values[2]);
    lamp_ = false;
    cancelVisible_ = true;
    readingText_.clear();
}

std::string Calibration::Caption() const { return NumberedText(TEXT_CALIBRATION_TITLE, unit_ + 1); }

std::string Calibration::StepButtonText() const { return GetText(TEXT_CALIBRATION_STEP_FIRST + state_); }

std::string Calibration::CoefficientText(int coefficient) const
{
    return coefficientsRead_ ? std::to_string(coefficient) + " " : std::string();
}

void Calibration::BeginAdjustment()
{
    cancelVisible_ = false;
    iterations_ = 0;
    window_.Mark();
}

Calibration::Action Calibration::StepClicked()
{
    switch (state_) {
    case CAL_WAITING: state_ = CAL_APPLY_ZERO; break;
    case CAL_APPLY_ZERO:
    case CAL_APPLY_SPAN:
    case CAL_APPLY_RESISTANCE:
        ++state_;
        BeginAdjustment();
        break;
    case CAL_DONE:
    case CAL_INTERRUPTED: return Action::End;
    default: break;
    }
    return Action::None;
}

Calibration::Action Calibration::CancelClicked()
{
    if (state_ == CAL_ZERO || state_ == CAL_SPAN || state_ == CAL_RESISTANCE) {
        state_ = CAL_INTERRUPTED;
        return Action::None;
    }
    return Action::End;
}

int& Calibration::Coefficient(Adjustment a)
{
    return a == Adjustment::Zero ? zero_ : a == Adjustment::Span ? span_ : resistance_;
}

AdjustmentResult Calibration::Adjust(Adjustment a, bool& beep)
{
    if (++iterations_ >= CAL_ITERATION_LIMIT) return AdjustmentResult::Abort;
    if (!window_.Push(reading_)) return AdjustmentResult::Wait;
    if (OnTarget(a, reading_)) {
        beep = true;
        return AdjustmentResult::Done;
    }
    int& coefficient = Coefficient(a);
    coefficient = CorrectedCoefficient(a, coefficient, reading_);
    if (!CoefficientInRange(a, coefficient)) return AdjustmentResult::Abort;
    if (flag_) flag_ = WriteSetting(links_.Serial(), unit_ + 1, CoefficientSetting(a), ToGateway16(coefficient));
    if (flag_) flag_ = WriteSetting(links_.Serial(), 0, 5, CAL_CONTROL_STORE + static_cast<std::uint32_t>(unit_));
    window_.Mark();
    return AdjustmentResult::Wait;
}

Calibration::TickOutcome Calibration::Tick()
{
    TickOutcome out;
    lamp_ = blink_++ % 2 == 0;

    if (flag_) {
        std::uint32_t value = 0;
        flag_ = ReadDataWithin(links_.Serial(), unit_ + 1, 1, 0, WORD_MAX, value);
        if (flag_) {
            reading_ = FromGateway16(value);
            readingText_ = std::to_string(reading_) + " ";
        }
    }
    if (!flag_) {
        state_ = CAL_INTERRUPTED;
        return out;
    }

    AdjustmentResult result;
    switch (state_) {
    case CAL_ZERO:
        result = Adjust(Adjustment::Zero, out.beep);
        if (result == AdjustmentResult::Done) {
            cancelVisible_ = true;
            state_ = CAL_APPLY_SPAN;
        }
        break;
    case CAL_SPAN:
        result = Adjust(Adjustment::Span, out.beep);
        if (result == AdjustmentResult::Done) {
            if (flag_) flag_ = WriteChannelConfig(links_.Serial(), unit_ + 1, 1, CAL_RESISTANCE_WORD);
            cancelVisible_ = true;
            state_ = CAL_APPLY_RESISTANCE;
        }
        break;
    case CAL_RESISTANCE:
        result = Adjust(Adjustment::Resistance, out.beep);
        cancelVisible_ = true;
        if (result == AdjustmentResult::Done) state_ = CAL_DONE;
        break;
    default:
        return out;
    }
    if (result == AdjustmentResult::Abort) state_ = CAL_INTERRUPTED;
    return out;
}

} // namespace tarn
