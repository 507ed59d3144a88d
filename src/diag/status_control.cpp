#include "diag/status_control.h"

#include "config/channel_word.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/choices.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

namespace tarn {

namespace {

constexpr int CONTROL_SETTING = 5;
constexpr std::uint32_t WORD_MAX = 0xFFFF;

} // namespace

std::string UnitDescriptionText(std::uint32_t descriptor)
{
    const UnitDescriptor d = DecodeUnitDescriptor(descriptor);
    if (d.type == UNIT_KX927) return ChoiceText(ChoiceList::UnitType, 3);
    if (d.type != UNIT_KX913) return std::string();
    const std::string& base = ChoiceText(ChoiceList::UnitType, 1);
    if (d.expansions == 0) return base;
    return base + " + " + std::to_string(d.expansions) + " x " + ChoiceText(ChoiceList::UnitType, 2);
}

// A write of the control word. A word with the diagnostic bit may have reached the gateway even
// when its reply was lost; only a confirmed word without it switches the mode off for certain.
bool StatusControl::WriteControl(std::uint32_t word)
{
    const bool diagnostic = (word & CONTROL_DIAGNOSTIC_MODE) != 0;
    if (diagnostic) diagnosticMayBeOn_ = true;
    if (!WriteSetting(links_.Serial(), 0, CONTROL_SETTING, word)) return false;
    if (!diagnostic) diagnosticMayBeOn_ = false;
    return true;
}

bool StatusControl::Start()
{
    std::uint32_t unused = 0;
    if (!ReadSetting(links_.Serial(), 0, 2, unused)) return false;
    diagnostic_ = false;
    return WriteControl(0);
}

bool StatusControl::Tick()
{
    std::uint32_t control = 0;
    if (!ReadSettingWithin(links_.Serial(), 0, CONTROL_SETTING, 0, WORD_MAX, control)) return false;
    if (control & CONTROL_DIAGNOSTIC_MODE) diagnosticMayBeOn_ = true;
    overrideBits_ = control & CONTROL_OVERRIDE_MASK;
    const bool raw = diagnostic_;
    // The figures mean a share in % outside diagnostic mode; anything above it is no quality.
    const std::uint32_t figureMax = raw ? LINE_FIGURE_RAW_MAX : LINE_FIGURE_QUALITY_MAX;
    for (int n = 1; n <= 4; ++n) {
        // n.03 only proves that the gateway knows the position; its value is not shown.
        std::uint32_t programmed = 0;
        Position p;
        if (!ReadSetting(links_.Serial(), n, 3, programmed) || !ReadSettingWithin(links_.Serial(), n, 1, 0, WORD_MAX, p.found) ||
            !ReadSettingWithin(links_.Serial(), n, 5, 0, figureMax, p.line1) || !ReadSettingWithin(links_.Serial(), n, 6, 0, figureMax, p.line2))
            return false;
        p.read = true;
        positions_[n - 1] = p;
    }
    rawFigures_ = raw;
    return true;
}

bool StatusControl::ClearLineOverride()
{
    std::uint32_t control = 0;
    if (!ReadSettingWithin(links_.Serial(), 0, CONTROL_SETTING, 0, WORD_MAX, control)) return false;
    return WriteControl((control & CONTROL_DIAGNOSTIC_MODE) | CONTROL_CLEAR_OVERRIDE);
}

bool StatusControl::SetDiagnosticMode(bool on)
{
    diagnostic_ = on;
    return WriteControl(on ? CONTROL_DIAGNOSTIC_MODE : 0);
}

void StatusControl::Cancel() { WriteControl(0); }

bool StatusControl::SwitchOffAfterFailure()
{
    if (!diagnosticMayBeOn_) return true;
    return WriteControl(0);
}

std::string StatusControl::Description(int position) const
{
    const Position& p = positions_[position];
    return p.read ? UnitDescriptionText(p.found) : std::string();
}

std::string StatusControl::LineFigureText(int position, int line) const
{
    const Position& p = positions_[position];
    if (!p.read) return std::string();
    // Tick took only figures within 0..100 (quality) or 0..65535 (raw).
    const auto figure = static_cast<int>(line == 1 ? p.line1 : p.line2);
    return std::to_string(rawFigures_ ? figure : static_cast<int>(LINE_FIGURE_QUALITY_MAX) - figure) + " ";
}

std::string StatusControl::LineLabel(int position, int line) const
{
    return GetText(rawFigures_ ? TEXT_RECEIVE_ERRORS_OF_SLAVE : TEXT_QUALITY_OF_SLAVE) + " " + std::to_string(position + 1) + " " + GetText(line == 1 ? TEXT_LINE_1 : TEXT_LINE_2);
}

void StatusControlCommand(GatewayLinks& links_, const std::function<int(StatusControl&)>& runDialog)
{
    if (!links_.OpenSerialWithMessage()) return;
    StatusControl control(links_);
    if (runDialog(control) != 0) WriteSetting(links_.Serial(), 0, CONTROL_SETTING, 0);
    else if (control.SwitchOffAfterFailure()) ShowErrorBox(*links_.state().ui, GetText(TEXT_GATEWAY_COMMUNICATION_ERROR));
    else ShowErrorBoxWithDetails(*links_.state().ui, GetText(TEXT_GATEWAY_COMMUNICATION_ERROR), GetText(TEXT_DIAGNOSTIC_MODE_LEFT_ON));
    links_.CloseSerial();
    links_.state().RequestRefresh(ViewRefresh::Full);
}

} // namespace tarn
