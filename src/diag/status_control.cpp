#include "diag/status_control.h"

#include "config/channel_word.h"
#include "config/model.h"
#include "link/commands.h"
#include "link/link.h"
#include "text/choices.h"
#include "text/texts.h"
#include "text/user_interface.h"

namespace tarn {

namespace {

constexpr int CONTROL_SETTING = 5;

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

bool StatusControl::Start()
{
    std::uint32_t unused = 0;
    if (!ReadSetting(0, 2, unused)) return false;
    diagnostic_ = false;
    return WriteSetting(0, CONTROL_SETTING, 0) == 1;
}

bool StatusControl::Tick()
{
    std::uint32_t control = 0;
    if (!ReadSetting(0, CONTROL_SETTING, control)) return false;
    overrideBits_ = control & CONTROL_OVERRIDE_MASK;
    const bool raw = diagnostic_;
    for (int n = 1; n <= 4; ++n) {
        // n.03 only proves that the gateway knows the position; its value is not shown.
        std::uint32_t programmed = 0;
        Position p;
        if (!ReadSetting(n, 3, programmed) || !ReadSetting(n, 1, p.found) || !ReadSetting(n, 5, p.line1) ||
            !ReadSetting(n, 6, p.line2))
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
    if (!ReadSetting(0, CONTROL_SETTING, control)) return false;
    return WriteSetting(0, CONTROL_SETTING, (control & CONTROL_DIAGNOSTIC_MODE) | CONTROL_CLEAR_OVERRIDE) == 1;
}

bool StatusControl::SetDiagnosticMode(bool on)
{
    diagnostic_ = on;
    return WriteSetting(0, CONTROL_SETTING, on ? CONTROL_DIAGNOSTIC_MODE : 0) == 1;
}

void StatusControl::Cancel() { WriteSetting(0, CONTROL_SETTING, 0); }

std::string StatusControl::Description(int position) const
{
    const Position& p = positions_[position];
    return p.read ? UnitDescriptionText(p.found) : std::string();
}

std::string StatusControl::LineFigureText(int position, int line) const
{
    const Position& p = positions_[position];
    if (!p.read) return std::string();
    const int figure = static_cast<int>(line == 1 ? p.line1 : p.line2);
    return std::to_string(rawFigures_ ? figure : 100 - figure) + " ";
}

std::string StatusControl::LineLabel(int position, int line) const
{
    return GetText(rawFigures_ ? 306 : 303) + " " + std::to_string(position + 1) + " " + GetText(line == 1 ? 304 : 305);
}

void StatusControlCommand(const std::function<int()>& runDialog)
{
    if (!OpenSerialLinkWithMessage()) return;
    if (runDialog() == 0) ShowErrorBox(GetText(395));
    else WriteSetting(0, CONTROL_SETTING, 0);
    CloseSerialLink();
    RepaintMainWindow();
}

} // namespace tarn
