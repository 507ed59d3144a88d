#include "dialogs/config_edits.h"

#include "config/app_state.h"
#include "text/numbers.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdio>

namespace tarn {

namespace {

// The blanks that "%d" and "%f" skip.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string numbered(int textId, int number)
{
    return GetText(textId) + " " + std::to_string(number);
}

std::uint32_t listIndex(int selection) { return selection < 0 ? 0 : static_cast<std::uint32_t>(selection); }

} // namespace

bool ConfigurationDialogsBlocked(const AppState& state) { return IsTransfer(state.mode); }

std::string FormatModbusAddress(std::uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03u", address);
    return text;
}

int ParseLeadingInteger(std::string_view text)
{
    text = text.substr(0, 29);
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool AcceptGatewayEdits(AppState& state, const MasterEdits& edits)
{
    state.MarkConfigurationChanged();
    const int address = ParseLeadingInteger(edits.address);
    if (address < MODBUS_ADDRESS_MIN || address > MODBUS_ADDRESS_MAX) {
        ShowErrorBox(*state.ui, GetText(TEXT_MODBUS_ADDRESS_RANGE));
        return false;
    }
    SystemConfiguration& c = state.current;
    SetFieldText(c.MASTER_TAG, edits.tag);
    c.MASTER_CABLE = listIndex(edits.cable);
    c.MASTER_FREQ = listIndex(edits.frequency);
    c.MASTER_REPT = listIndex(edits.repeaters);
    c.MASTER_MOD_ADDR = static_cast<std::uint32_t>(address);
    c.MASTER_MOD_BAUD = listIndex(edits.baud);
    c.MASTER_MOD_FORM = listIndex(edits.format);
    c.MASTER_MOD_CONFIG = listIndex(edits.modbusConfig);
    return true;
}

UnitDialogOffer UnitDialogOfferFor(const UnitRecord& unit, int module)
{
    UnitDialogOffer offer;
    auto& [expansion, change, channels] = offer.buttons;
    if (unit.SLAVE_TYPE == UNIT_KX913) {
        offer.statusTextId = module == 0 ? TEXT_KX913_INSTALLED : TEXT_KX914_INSTALLED;
        channels = {TEXT_EDIT_CHANNELS, UNIT_DIALOG_EDIT_CHANNELS};
        // Expansions come and go only at the end of the chain.
        if (static_cast<std::uint32_t>(module) == unit.SLAVE_EXP) {
            if (module < 3) expansion = {TEXT_ADD_KX914, UNIT_DIALOG_ADD};
            change = {module == 0 ? TEXT_REMOVE_KX913 : TEXT_REMOVE_KX914, UNIT_DIALOG_REMOVE};
        }
    } else if (unit.SLAVE_TYPE == UNIT_KX927) {
        offer.statusTextId = TEXT_KX927_INSTALLED;
        change = {TEXT_REMOVE_KX927, UNIT_DIALOG_REMOVE};
        channels = {TEXT_EDIT_CHANNELS, UNIT_DIALOG_EDIT_CHANNELS};
    } else {
        offer.statusTextId = TEXT_NO_SLAVE_INSTALLED;
        change = {TEXT_ADD_KX913, UNIT_DIALOG_ADD};
        channels = {TEXT_ADD_KX927, UNIT_DIALOG_ADD_KX927};
    }
    return offer;
}

void ApplyUnitDialogResult(AppState& state, int unit, int result)
{
    if (unit < 0 || unit >= UNIT_COUNT) return;
    UnitRecord& u = state.current.units[unit];
    const bool installed = u.SLAVE_TYPE == UNIT_KX913 || u.SLAVE_TYPE == UNIT_KX927;
    switch (result) {
    case UNIT_DIALOG_ADD:
        state.MarkConfigurationChanged();
        if (!installed) u.SLAVE_TYPE = UNIT_KX913;
        else if (u.SLAVE_EXP < 3) ++u.SLAVE_EXP;
        break;
    case UNIT_DIALOG_ADD_KX927:
        state.MarkConfigurationChanged();
        u.SLAVE_TYPE = UNIT_KX927;
        u.SLAVE_EXP = 0;
        break;
    case UNIT_DIALOG_REMOVE:
        state.MarkConfigurationChanged();
        // A KX927 has no expansions to shed: an expansion count it carries from a file or a
        // gateway read must not keep "Remove this KX927" from removing it.
        if (u.SLAVE_TYPE != UNIT_KX927 && u.SLAVE_EXP > 0) --u.SLAVE_EXP;
        else u.SLAVE_TYPE = UNIT_NONE;
        break;
    default:
        break;
    }
}

std::string UnitDialogTitle(int unit) { return numbered(TEXT_UNIT_DIALOG_TITLE, unit + 1); }

AnalogListsShown AnalogListsForType(std::uint32_t type)
{
    switch (AnalogClassOfType(type)) {
    case AnalogClass::Off: return {};
    case AnalogClass::Millivolt: return {.burnout = true, .filter = true};
    case AnalogClass::Thermocouple: return {.burnout = true, .coldJunction = true, .filter = true};
    case AnalogClass::Wired: return {.wires = true, .filter = true};
    }
    return {};
}

int ChannelTypeEntries(int row) { return row == ANALOG_PAGE_ROWS - 1 ? 31 : 30; }

std::string AnalogDialogTitle(int unit, int module)
{
    std::string title = " " + numbered(TEXT_ANALOG_CHANNELS_TITLE, unit + 1);
    if (module >= 1) title += " - " + numbered(TEXT_ANALOG_CHANNELS_EXPANSION, module);
    return title;
}

std::string DigitalDialogTitle(int unit) { return " " + numbered(TEXT_DIGITAL_CHANNELS_TITLE, unit + 1); }

std::string FormatColdJunction(std::int32_t tenths)
{
    const long long magnitude = std::llabs(static_cast<long long>(tenths));
    return (tenths < 0 ? "-" : "") + std::to_string(magnitude / 10) + "." + std::to_string(magnitude % 10);
}

std::optional<std::int32_t> ParseColdJunction(std::string_view text)
{
    // The field is read as "%f" from its first 99 characters; no number at all reads as 0.
    const double value = ParseDoubleLikeScanf(text.substr(0, 99)).value_or(0.0);
    // NaN passes both range comparisons; it is no temperature.
    if (std::isnan(value) || value < -40.0 || value > 100.0) return std::nullopt;
    const double scaled = value >= 0 ? value * 10 + 0.5 : value * 10 - 0.5;
    return static_cast<std::int32_t>(std::trunc(scaled));
}

bool AcceptAnalogPage(AppState& state, UnitRecord& copy, int module, const std::array<AnalogRowEdit, ANALOG_PAGE_ROWS>& rows,
                      std::string_view reference)
{
    state.MarkConfigurationChanged();
    for (int r = 0; r < ANALOG_PAGE_ROWS; ++r) {
        ChannelRecord& channel = copy.channels[ANALOG_PAGE_ROWS * module + r];
        SetFieldText(channel.tag, rows[r].tag);
        channel.word = EncodeAnalogChannelWord(rows[r].settings);
    }
    if (module != 0) return true;
    const std::optional<std::int32_t> tenths = ParseColdJunction(reference);
    if (!tenths) {
        ShowErrorBox(*state.ui, GetText(TEXT_COMPENSATION_RANGE));
        return false;
    }
    copy.SLAVE_CJC = *tenths;
    return true;
}

bool DigitalScanTimeShown(std::uint32_t mode) { return mode != 0; }

std::uint32_t DigitalScanTimeAfterModeChange(std::uint32_t mode, std::uint32_t scanTime)
{
    return DigitalScanTimeShown(mode) ? scanTime : 0;
}

void AcceptDigitalChannels(AppState& state, UnitRecord& copy, const std::array<DigitalRowEdit, DIGITAL_ROWS>& rows)
{
    state.MarkConfigurationChanged();
    for (int r = 0; r < DIGITAL_ROWS; ++r) {
        SetFieldText(copy.channels[r].tag, rows[r].tag);
        copy.channels[r].word = EncodeDigitalChannelWord(rows[r].settings);
    }
}

std::string RepeaterDialogTitle(int repeater) { return numbered(TEXT_REPEATER_DIALOG_TITLE, repeater + 1); }

std::string RepeaterEntryText(const SystemConfiguration& image, int unit)
{
    std::string entry = numbered(TEXT_REPEATER_ASSIGNED_TO_UNIT, unit + 1);
    if (image.units[unit].SLAVE_TYPE != UNIT_KX927) entry += " - " + GetText(TEXT_REPEATER_INVALID_ASSIGNMENT);
    return entry;
}

void AcceptRepeaterAssignment(AppState& state, int repeater, int unit)
{
    state.current.MASTER_REPT_MAT[repeater] = listIndex(unit);
    state.MarkConfigurationChanged();
}

} // namespace tarn
