#include "diag/cell_text.h"

#include "text/choices.h"

#include <cstdio>

namespace tarn {

std::string AnalogCellText(std::uint32_t liveValue, std::uint32_t channelWord)
{
    const int type = static_cast<int>(channelWord & 0x3F);
    int raw = static_cast<int>(liveValue & 0xFFFF);
    if (raw > 32767) raw -= 65536;
    const float v = static_cast<float>(raw);

    char number[24] = "";
    if (type == 1)
        std::snprintf(number, sizeof number, " %+2.3f", v / 1000);
    else if (type == 2)
        std::snprintf(number, sizeof number, " %+2.2f", v / 100);
    else if (type == 3)
        std::snprintf(number, sizeof number, " %3.1f", v / 10);
    else if (type >= 4)
        std::snprintf(number, sizeof number, " %+4.1f", v / 10);
    std::string text = std::string(number) + " " + UnitOfMeasureText(type) + " ";
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
    case 0x001: return 116;
    case 0x100: return 114;
    case 0x101: return 117;
    default: return 115;
    }
}

} // namespace tarn
