#include "diag/cell_text.h"

#include "config/app_state.h"
#include "text/choices.h"
#include "text/numbers.h"
#include "text/text_ids.h"

namespace tarn {

std::string CellTagText(const SystemConfiguration& image, AppMode mode, int unit, int channel)
{
    if (mode == AppMode::SerialTest) return std::string(FieldText(image.units[unit].channels[channel].tag));
    char text[32];
    std::snprintf(text, sizeof text, "%d-%02d", unit + 1, channel + 1);
    return text;
}

std::string AnalogCellText(std::uint32_t liveValue, std::uint32_t channelWord)
{
    const int type = static_cast<int>(channelWord & 0x3F);
    int raw = static_cast<int>(liveValue & 0xFFFF);
    if (raw > 32767) raw -= 65536;
    const float v = static_cast<float>(raw);

    // The quotient is a float, and that float is what is shown.
    std::string number;
    if (type == 1)
        number = " " + FormatFixed(v / 1000, 3, 2, true);
    else if (type == 2)
        number = " " + FormatFixed(v / 100, 2, 2, true);
    else if (type == 3)
        number = " " + FormatFixed(v / 10, 1, 3);
    else if (type >= 4)
        number = " " + FormatFixed(v / 10, 1, 4, true);
    std::string text = number + " " + UnitOfMeasureText(type) + " ";
    if (text.size() > 19) text.resize(19);
    return text;
}

int DigitalCellState(std::uint32_t groupLiveValue, int channel)
{
    return static_cast<int>((groupLiveValue >> (channel % 8)) & 0x101);
}

int DigitalStateTextId(int state)
{
    switch (state) {
    case 0x001: return TEXT_DIGITAL_ON;
    case 0x100: return TEXT_DIGITAL_OPEN;
    case 0x101: return TEXT_DIGITAL_SHORT;
    default: return TEXT_DIGITAL_OFF;
    }
}

} // namespace tarn
