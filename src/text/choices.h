// The choice lists: the entries of the drop-down lists, and the printed and
// compared names of the configuration values, indexed by the stored value.
#pragma once

#include <string>

namespace tarn {

enum class ChoiceList {
    LineUse,        // MASTER_CABLE, 4 entries
    LineFrequency,  // MASTER_FREQ, 2
    Repeaters,      // MASTER_REPT, 5
    ModbusBaud,     // MASTER_MOD_BAUD, 6
    ModbusFormat,   // MASTER_MOD_FORM, 4
    UnitType,       // SLAVE_TYPE, 4
    UnitOfMeasure,  // by channel type, 5
    ChannelType,    // analog word bits 0..5, 31
    Burnout,        // analog word bits 7..8, 4
    ColdJunction,   // analog word bit 9, 2
    Wires,          // analog word bit 7, 2
    Filter,         // analog word bits 11..12, 4
    DigitalMode,    // digital word bits 0..1, 3
    ScanTime,       // digital word bits 3..6, 16
};

inline constexpr int CHOICE_LIST_COUNT = 14;

// Number of entries of a list (the same in both languages).
int ChoiceCount(ChoiceList list);
// The entry at index in the current language; nullptr past the end of the list, as the
// drop-down fill relies on (negative indexes also give nullptr).
const std::string* ChoiceEntry(ChoiceList list, int index);
// The entry at index in the current language; the empty text past the end.
const std::string& ChoiceText(ChoiceList list, int index);
// The unit of measure of a channel type: every type from 4 up reads entry 4 ("°C").
const std::string& UnitOfMeasureText(int channelType);

} // namespace tarn
