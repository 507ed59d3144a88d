// The rules of the configuration dialogs that are not widgets: what each dialog offers
// for a state of the current image, the checks of its inputs, its titles, and what its
// results do to the current image. The dialogs of this folder show them and forward input.
// Texts are Windows-1252, as in the tables.
#pragma once

#include "config/app_state.h"
#include "config/channel_word.h"
#include "config/model.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// While the configuration is read, written or compared, or the serial live test reads it
// (a transfer mode), no configuration dialog opens; in every other mode each one does.
bool ConfigurationDialogsBlocked(const AppState& state);

// ---- Gateway dialog

// The address range the dialog accepts: the one text 259 names and the configuration file
// reader applies, so that what the dialog stores always reads back.
inline constexpr int MODBUS_ADDRESS_MIN = 1;
inline constexpr int MODBUS_ADDRESS_MAX = 250;

// "%03d": 5 shows as "005".
std::string FormatModbusAddress(std::uint32_t address);
// The signed decimal number at the start of the first 29 characters of text, after blanks;
// 0 when there is none ("abc"); held at the int range when it has too many digits.
int ParseLeadingInteger(std::string_view text);

// What the gateway dialog's controls hold; list entries by index.
struct MasterEdits {
    std::string tag;
    int cable = 0, frequency = 0, repeaters = 0;
    std::string address;  // the address edit's text
    int baud = 0, format = 0, modbusConfig = 0;
};

// Ok of the gateway dialog: marks the configuration changed (before the check), then stores
// every field in the current image and returns true when the address is in range; otherwise
// shows text 259 and stores nothing. The tag keeps its first 16 characters.
bool AcceptGatewayEdits(AppState& state, const MasterEdits& edits);

// ---- Unit dialog

enum UnitDialogResult : int {
    UNIT_DIALOG_CANCEL = 0,
    UNIT_DIALOG_ADD = 1,         // a KX913 on an empty position, else a KX914 after the last module
    UNIT_DIALOG_ADD_KX927 = 2,
    UNIT_DIALOG_REMOVE = 3,      // the last expansion, else the unit
    UNIT_DIALOG_EDIT_CHANNELS = 4,
};

// A button of the unit dialog: its text id and the result it ends the dialog with; text id 0
// when the button is hidden.
struct UnitDialogButton {
    int textId = 0;
    int result = UNIT_DIALOG_CANCEL;
    bool operator==(const UnitDialogButton&) const = default;
};

// What the unit dialog shows for module m (0 the base module) of a unit: the text of what is
// installed and buttons 101 (add an expansion), 102 (add a KX913 or remove), 103 (add a KX927
// or edit channels). A type other than 1 and 3 is an empty position.
struct UnitDialogOffer {
    int statusTextId = 0;
    std::array<UnitDialogButton, 3> buttons;
};
UnitDialogOffer UnitDialogOfferFor(const UnitRecord& unit, int module);

// Applies results 1..3 to unit u of the current image and marks the configuration changed;
// 0 and 4 change nothing here. A KX927 is removed whole, whatever SLAVE_EXP holds.
void ApplyUnitDialogResult(AppState& state, int unit, int result);

// "%s %d" of text 270 and u + 1.
std::string UnitDialogTitle(int unit);

// ---- Channel dialogs

inline constexpr int ANALOG_PAGE_ROWS = 16;
inline constexpr int DIGITAL_ROWS = 32;

// The lists an analog row shows beside its type list: the ones whose values the channel
// word of that type stores (type 18 shows wires and filter, as its word holds them).
struct AnalogListsShown {
    bool burnout = false, wires = false, coldJunction = false, filter = false;
    bool operator==(const AnalogListsShown&) const = default;
};
AnalogListsShown AnalogListsForType(std::uint32_t type);

// Entries of the type list on row r of a page: type 30 only on the 16th row.
int ChannelTypeEntries(int row);

// " %s %d" of text 282 and u + 1, on pages m >= 1 followed by " - %s %d" of text 283 and m.
std::string AnalogDialogTitle(int unit, int module);
// " %s %d" of text 286 and u + 1.
std::string DigitalDialogTitle(int unit);

// The fixed cold junction reference in degrees, "%2.1f" of tenths / 10 with a decimal point.
std::string FormatColdJunction(std::int32_t tenths);
// The reference typed in degrees ("%f" of the first 99 characters; no number reads 0.0) in
// tenths, rounded half away from zero; nothing when it is below -40.0, above +100.0 or not a
// number.
std::optional<std::int32_t> ParseColdJunction(std::string_view text);

struct AnalogRowEdit {
    std::string tag;
    AnalogChannelSettings settings;
};
// Ok of the analog dialog on page m: marks the configuration changed, puts the rows' tags
// (first 16 characters) and words into the working copy and, on page 0, the reference. False
// after text 285 when the reference is refused; the rows are then already in the copy.
bool AcceptAnalogPage(AppState& state, UnitRecord& copy, int module, const std::array<AnalogRowEdit, ANALOG_PAGE_ROWS>& rows,
                      std::string_view reference);

// A digital channel switched off (mode 0) has no scan time: its row shows an empty list in
// place of the scan times, and a change of mode to off sets the scan time to 0.
bool DigitalScanTimeShown(std::uint32_t mode);
std::uint32_t DigitalScanTimeAfterModeChange(std::uint32_t mode, std::uint32_t scanTime);

struct DigitalRowEdit {
    std::string tag;
    DigitalChannelSettings settings;
};
// Ok of the digital dialog: marks the configuration changed and puts the tags and words of
// channels 1..32 into the working copy.
void AcceptDigitalChannels(AppState& state, UnitRecord& copy, const std::array<DigitalRowEdit, DIGITAL_ROWS>& rows);

// ---- Repeater dialog

// "%s %d" of text 290 and r + 1 (set without the leading blank of the other dialogs).
std::string RepeaterDialogTitle(int repeater);
// Entry u of the assignment list: "%s %d" of text 292 and u + 1, followed by " - " and text
// 293 when unit u of the image is not a KX927.
std::string RepeaterEntryText(const SystemConfiguration& image, int unit);
// Ok of the repeater dialog: MASTER_REPT_MAT[r] of the current image becomes the chosen unit,
// and the configuration is marked changed.
void AcceptRepeaterAssignment(AppState& state, int repeater, int unit);

} // namespace tarn
