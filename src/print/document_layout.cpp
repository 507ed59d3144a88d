#include "print/document_layout.h"

#include "config/channel_word.h"
#include "text/choices.h"
#include "text/text_ids.h"
#include "text/texts.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tarn {

namespace {

// Printable area a readable document needs, in 0.1 mm.
constexpr int MIN_WIDTH_TENTHS = 100;
constexpr int MIN_HEIGHT_TENTHS = 150;

constexpr int FIELD_PITCH = 45;

std::string Text(int id) { return GetText(id); }

// The numbers of the document are formatted without the locale: a decimal point everywhere.
std::string Number(long long value, int width = 0)
{
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", width, value);
    return text;
}

std::string RepeaterMappingValue(const SystemConfiguration& image, int repeater)
{
    const std::uint32_t unit = image.MASTER_REPT_MAT[repeater];
    std::string text = Text(TEXT_REPEATER_ASSIGNED_TO_UNIT) + " " + Number(static_cast<long long>(unit) + 1);
    // A matrix entry outside 0..3 names no unit, so it is no KX927 either.
    const bool valid = unit < UNIT_COUNT && image.units[unit].SLAVE_TYPE == UNIT_KX927;
    if (!valid) text += " - " + Text(TEXT_REPEATER_INVALID_ASSIGNMENT);
    return text;
}

} // namespace

std::vector<DocumentPage> DocumentPages(const SystemConfiguration& image)
{
    std::vector<DocumentPage> pages{{DocumentPageKind::System, -1}};
    for (int u = 0; u < UNIT_COUNT; ++u) {
        const std::uint32_t type = image.units[u].SLAVE_TYPE;
        if (type == UNIT_NONE) continue;
        pages.push_back({type == UNIT_KX913 ? DocumentPageKind::AnalogUnit : DocumentPageKind::DigitalUnit, u});
    }
    return pages;
}

int DocumentRefusal(const PrintDeviceFacts& device)
{
    if (!device.usable || device.physicalWidth <= 0 || device.physicalHeight <= 0)
        return TEXT_DEVICE_NOT_SUITABLE;
    if (device.widthTenths < MIN_WIDTH_TENTHS || device.heightTenths < MIN_HEIGHT_TENTHS)
        return TEXT_PAPER_TOO_SMALL;
    return 0;
}

PageMapping ComputePageMapping(const PrintDeviceFacts& device)
{
    // Integer arithmetic throughout, each step truncating as the device's own mapping would.
    long long px = device.physicalWidth;
    long long py = device.physicalHeight;
    long long h = device.heightTenths;
    const long long w = device.widthTenths;
    if (w < DOCUMENT_PAGE_WIDTH) {
        px = px * w / DOCUMENT_PAGE_WIDTH;
        py = py * w / DOCUMENT_PAGE_WIDTH;
        // Units have grown by 2000 / w, so the printable height holds more of them, not fewer:
        // shrinking h by w / 2000 instead would make the page about half the size it can be.
        h = h * DOCUMENT_PAGE_WIDTH / w;
    }
    if (h < DOCUMENT_PAGE_HEIGHT) {
        px = px * h / DOCUMENT_PAGE_HEIGHT;
        py = py * h / DOCUMENT_PAGE_HEIGHT;
    }
    PageMapping mapping;
    mapping.windowWidth = device.widthTenths;
    mapping.windowHeight = device.heightTenths;
    mapping.viewportWidth = static_cast<int>(px);
    mapping.viewportHeight = static_cast<int>(py);
    return mapping;
}

int AnalogTableTop(int module) { return module == 0 ? 50 : 618 * module + 88; }

int AnalogTableBottom(int module)
{
    // Sixteen channel rows, and under the base module's the cold junction row.
    return AnalogTableTop(module) + 16 * TABLE_ROW_HEIGHT + (module == 0 ? TABLE_ROW_HEIGHT : 0);
}

std::vector<LabelledField> DocumentInformationFields(const SystemConfiguration& image)
{
    const std::pair<int, std::string_view> rows[] = {
        {TEXT_PRINT_ORGANIZATION, FieldText(image.ORGANIZATION)},
        {TEXT_PRINT_ADDRESS, FieldText(image.ADDRESS[0])},
        {0, FieldText(image.ADDRESS[1])},
        {0, FieldText(image.ADDRESS[2])},
        {0, FieldText(image.ADDRESS[3])},
        {TEXT_PRINT_DOCUMENT, FieldText(image.DOCUMENT)},
        {TEXT_PRINT_TAG_OF_MASTER, FieldText(image.MASTER_TAG)},
        {TEXT_PRINT_PREPARED_BY, FieldText(image.OPERATOR_1)},
        {TEXT_PRINT_VERIFIED_BY, FieldText(image.OPERATOR_2)},
    };
    std::vector<LabelledField> fields;
    int y = 395;
    for (const auto& [label, value] : rows) {
        fields.push_back({y, label ? Text(label) : std::string(), std::string(value)});
        y += FIELD_PITCH;
    }
    return fields;
}

std::vector<LabelledField> GatewayFields(const SystemConfiguration& image)
{
    auto choice = [](ChoiceList list, std::uint32_t index) { return ChoiceText(list, static_cast<int>(index)); };
    std::vector<LabelledField> fields = {
        {0, Text(TEXT_FIELD_CONNECTION), choice(ChoiceList::LineUse, image.MASTER_CABLE)},
        {0, Text(TEXT_POWER_LINE_FREQUENCY), choice(ChoiceList::LineFrequency, image.MASTER_FREQ)},
        {0, Text(TEXT_NUMBER_OF_REPEATERS), choice(ChoiceList::Repeaters, image.MASTER_REPT)},
    };
    // All four repeaters, whatever MASTER_REPT holds.
    for (int r = 0; r < REPEATER_COUNT; ++r)
        fields.push_back({0, Text(TEXT_PRINT_MAPPING_OF_REPEATER) + " " + Number(r + 1), RepeaterMappingValue(image, r)});
    fields.push_back({0, Text(TEXT_MODBUS_ADDRESS), Number(image.MASTER_MOD_ADDR, 3)});
    fields.push_back({0, Text(TEXT_MODBUS_BAUDRATE), choice(ChoiceList::ModbusBaud, image.MASTER_MOD_BAUD)});
    fields.push_back({0, Text(TEXT_MODBUS_FORMAT), choice(ChoiceList::ModbusFormat, image.MASTER_MOD_FORM)});
    fields.push_back({0, Text(TEXT_CONFIGURATION_VIA_MODBUS), Text(image.MASTER_MOD_CONFIG == 1 ? TEXT_YES : TEXT_NO)});
    int y = 1945;
    for (auto& field : fields) {
        field.y = y;
        y += FIELD_PITCH;
    }
    return fields;
}

std::string AnalogDetailText(std::uint32_t word, int column)
{
    const AnalogChannelSettings s = DecodeAnalogChannelWord(word);
    const AnalogClass cls = AnalogClassOfType(s.type);
    if (cls == AnalogClass::Off) return {};
    switch (column) {
    case 0:
        if (cls == AnalogClass::Wired) return ChoiceText(ChoiceList::Wires, static_cast<int>(s.wires));
        return ChoiceText(ChoiceList::Burnout, static_cast<int>(s.burnout));
    case 1:
        if (cls == AnalogClass::Thermocouple)
            return ChoiceText(ChoiceList::ColdJunction, static_cast<int>(s.cold_junction));
        return {};
    case 2:
        return ChoiceText(ChoiceList::Filter, static_cast<int>(s.filter));
    default:
        return {};
    }
}

std::string AnalogChannelLabel(int unit, int channel)
{
    return Text(TEXT_PRINT_CH) + " " + Number(unit + 1) + "-" + Number(channel + 1, 2);
}

std::string DigitalChannelLabel(int channel) { return Text(TEXT_PRINT_CH) + " " + Number(channel + 1, 2); }

std::string ColdJunctionRowText(std::int32_t tenths)
{
    // "%+3.1f" of tenths / 10, without going through floating point or the locale.
    const long long magnitude = std::llabs(static_cast<long long>(tenths));
    return Text(TEXT_FIXED_COLD_JUNCTION_REFERENCE) + ": " + (tenths < 0 ? "-" : "+") + Number(magnitude / 10) + "." +
           Number(magnitude % 10);
}

std::string UnitPageTitle(int unit) { return Text(TEXT_PRINT_CONFIGURATION_OF_UNIT) + " " + Number(unit + 1); }

std::string PageFooterText(int pageNumber, int pageCount)
{
    return Text(TEXT_PRINT_PAGE) + " " + Number(pageNumber) + " " + Text(TEXT_PRINT_OF) + " " + Number(pageCount);
}

} // namespace tarn
