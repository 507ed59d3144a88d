// The configuration document without any drawing: its pages and their order, whether a
// print device and its paper can take it, how the layout is put on the page, and the texts
// of its fields in the current language (Windows-1252).
//
// Positions are logical units of nominally 0.1 mm. The layout spans x 0..1600 and y 0..2598
// of a page of 2000 x 2800 units whose logical (0, 0) lies 150 units right of and 100 units
// below the device origin (the corner of the printable area).
#pragma once

#include "config/model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

inline constexpr int DOCUMENT_ORIGIN_X = -150;
inline constexpr int DOCUMENT_ORIGIN_Y = -100;
inline constexpr int DOCUMENT_PAGE_WIDTH = 2000;
inline constexpr int DOCUMENT_PAGE_HEIGHT = 2800;
inline constexpr int DOCUMENT_LAYOUT_WIDTH = 1600;
// The right edge of the page in logical units, as far as text may run.
inline constexpr int DOCUMENT_PAGE_RIGHT = DOCUMENT_ORIGIN_X + DOCUMENT_PAGE_WIDTH;

// Font cell heights in logical units (ascent plus descent).
inline constexpr int TITLE_FONT_HEIGHT = 40;  // bold: page titles, gateway and unit boxes
inline constexpr int LABEL_FONT_HEIGHT = 32;  // bold: field labels, repeater boxes
inline constexpr int SIDE_FONT_HEIGHT = 40;   // bold, written upward: module names beside tables
inline constexpr int TEXT_FONT_HEIGHT = 28;   // normal: values, table text, footer

inline constexpr int THIN_PEN_WIDTH = 2;
inline constexpr int THICK_PEN_WIDTH = 4;

enum class DocumentPageKind { System, AnalogUnit, DigitalUnit };

struct DocumentPage {
    DocumentPageKind kind;
    int unit;  // 0..3; -1 for the system page
    bool operator==(const DocumentPage&) const = default;
};

// The system page, then one page per unit whose SLAVE_TYPE is not 0, in unit order: the
// analog tables for a KX913, the digital table for any other type.
std::vector<DocumentPage> DocumentPages(const SystemConfiguration& image);

inline constexpr int FOOTER_X = 1450;
// y of the footer of page pageNumber (1-based): page 1 ends higher than the unit pages.
inline int FooterY(int pageNumber) { return pageNumber == 1 ? 2370 : 2570; }

// What a print device tells of itself. widthTenths and heightTenths: the printable area in
// whole millimetres times ten; physicalWidth and physicalHeight: the whole sheet in device pixels.
struct PrintDeviceFacts {
    bool usable = true;  // the device can take a paged document at all
    int widthTenths = 0;
    int heightTenths = 0;
    int physicalWidth = 0;
    int physicalHeight = 0;
};

// 0 when the document can be printed; otherwise the text of the refusal: 396 for a device that
// cannot take it or reports no sheet, 397 for a printable area under 10 x 15 mm.
int DocumentRefusal(const PrintDeviceFacts& device);

// The logical rectangle (window) and the device extent (viewport, from the device origin) that
// put the layout on the page. On paper narrower than 200 mm everything shrinks in proportion to
// the printable width; when the printable height then holds fewer than 2800 units (paper shorter
// than 280 mm, or narrow paper not tall enough) it shrinks further in proportion to the height.
// So 2000 x 2800 units stay on the sheet, as large as the sheet allows.
struct PageMapping {
    int windowX = DOCUMENT_ORIGIN_X;
    int windowY = DOCUMENT_ORIGIN_Y;
    int windowWidth = 0;
    int windowHeight = 0;
    int viewportWidth = 0;
    int viewportHeight = 0;
    bool operator==(const PageMapping&) const = default;
};
PageMapping ComputePageMapping(const PrintDeviceFacts& device);

// Top and bottom of the table of module 0..3 of an analog unit page; the base module's table has
// one more row, for the cold junction reference.
int AnalogTableTop(int module);
int AnalogTableBottom(int module);
inline constexpr int TABLE_ROW_HEIGHT = 38;

// A field of the system page: label in the label font at (x, y), value in the text font at
// (x + 500, y).
struct LabelledField {
    int y;
    std::string label;
    std::string value;
};
inline constexpr int FIELD_VALUE_OFFSET = 500;
// The document information (y 395..755) and the gateway settings (y 1945..2395).
std::vector<LabelledField> DocumentInformationFields(const SystemConfiguration& image);
std::vector<LabelledField> GatewayFields(const SystemConfiguration& image);

// The text of detail column 0..2 of an analog channel: burnout or wiring, cold junction, filter;
// empty where the channel type carries no such field.
std::string AnalogDetailText(std::uint32_t word, int column);

std::string AnalogChannelLabel(int unit, int channel);  // "Ch 1-01": 0-based unit and channel
std::string DigitalChannelLabel(int channel);           // "Ch 01": 0-based channel, no unit
// "Fixed Cold Junction reference °C: +25.0" of a reference in tenths of a degree.
std::string ColdJunctionRowText(std::int32_t tenths);
std::string UnitPageTitle(int unit);                    // "Configuration of Unit 1"
std::string PageFooterText(int pageNumber, int pageCount);  // "Page 1 of 3"

} // namespace tarn
