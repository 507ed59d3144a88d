// Geometry of the main view with plain values: the layout of a 1000 × 623 client,
// the panel cells of that layout, shading and the status bar fields. Hit testing is
// checked on the regions a drawn diagram registers (tests/gui/view).
#include "view/view_layout.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

const ViewLayout L = ComputeViewLayout(1000, 623);  // W 1000, H 600

TEST(ViewLayout, FiguresOfA1000By623Client)
{
    struct Case {
        const char* name;
        int actual, expected;
    };
    const Case cases[] = {
        {"W", L.W, 1000}, {"H", L.H, 600},
        {"gateway left", L.gatewayLeft, 80}, {"gateway top", L.gatewayTop, 390},
        {"gateway width", L.gatewayWidth, 180}, {"gateway height", L.gatewayHeight, 90},
        {"first column", L.firstColumn, 300}, {"first row", L.firstRow, 12},
        {"box width", L.boxWidth, 150}, {"row height", L.rowHeight, 78},
        {"column gap", L.columnGap, 25}, {"row gap", L.rowGap, 18},
        {"repeater height", L.repeaterHeight, 60}, {"Modbus line", L.modbusLine, 540},
        {"line offset", L.lineOffset, 30}, {"thick", L.thick, 13}, {"thin", L.thin, 9},
        {"panel header", L.panelHeader, 24}, {"centre x", L.CentreX(), 170}, {"centre y", L.CentreY(), 435},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.name;
}

TEST(ViewLayout, BoxesAndPanelsOfA1000By623Client)
{
    EXPECT_EQ(GatewayBoxRect(L), (Rect{80, 390, 260, 480}));
    EXPECT_EQ(ModuleBoxRect(L, 0, 0), (Rect{300, 12, 450, 85}));
    EXPECT_EQ(ModuleBoxRect(L, 0, 1).left, 475);
    EXPECT_EQ(ModuleBoxRect(L, 1, 0).top, 108);
    EXPECT_EQ(ModuleBoxRect(L, 3, 3), (Rect{825, 300, 975, 373}));
    EXPECT_EQ(RepeaterBoxRect(L, 0), (Rect{300, 405, 450, 465}));
    const Rect panels[] = {{5, 3, 995, 149}, {5, 152, 995, 298}, {5, 301, 995, 447}, {5, 450, 995, 596}};
    for (int i = 0; i < UNIT_COUNT; ++i) EXPECT_EQ(L.panels[i], panels[i]) << "panel " << i;
}

TEST(Shading, BlendColorTruncatesEachComponent)
{
    EXPECT_EQ(BlendColor({220, 180, 0}, WHITE, 4, 0), (Rgb{220, 180, 0}));
    EXPECT_EQ(BlendColor({220, 180, 0}, WHITE, 4, 6), (Rgb{241, 225, 153}));
    EXPECT_EQ(BlendColor({140, 140, 200}, CABLE_SHADOW, 4, 3), (Rgb{136, 136, 170}));
    EXPECT_EQ(BlendColor({1, 2, 3}, WHITE, 0, 0), (Rgb{1, 2, 3}));
}

TEST(PanelCells, ColumnsOfA990PixelPanel)
{
    const Rect& panel = L.panels[1];
    EXPECT_EQ(PanelCellWidth(panel), 61);
    for (int k = 0; k < 16; ++k) {
        const Rect cell = ChannelCellRect(panel, L.panelHeader, UNIT_KX913, k);
        EXPECT_EQ(cell.left, 19 + 60 * k) << "column " << k;
        EXPECT_EQ(cell.right - cell.left, 61);
    }
    EXPECT_EQ(ChannelCellRect(panel, L.panelHeader, UNIT_KX913, 15).right, 980);
}

TEST(PanelCells, RowsAndTagBandsByUnitType)
{
    const Rect& panel = L.panels[1];  // top 152, rows from 176
    struct Case {
        std::uint32_t type;
        int channel;
        Rect cell;
        int rowHeight, tagBand;
    };
    const Case cases[] = {
        {UNIT_KX913, 0, {19, 176, 80, 205}, 29, 14},
        {UNIT_KX913, 17, {79, 204, 140, 233}, 29, 14},   // rows share their border line
        {UNIT_KX913, 63, {919, 260, 980, 289}, 29, 14},
        {UNIT_KX927, 16, {19, 234, 80, 293}, 59, 14},
        {UNIT_KX927, 31, {919, 234, 980, 293}, 59, 14},
        {UNIT_KX927, 32, {}, 59, 14},                    // a KX927 has no third row
        {UNIT_NONE, 0, {}, 0, 0},
        {2, 0, {}, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChannelCellRect(panel, L.panelHeader, c.type, c.channel), c.cell)
            << "type " << c.type << " channel " << c.channel;
        EXPECT_EQ(PanelRowHeight(panel, L.panelHeader, c.type), c.rowHeight) << "type " << c.type;
        EXPECT_EQ(TagBandHeight(panel, L.panelHeader, c.type), c.tagBand) << "type " << c.type;
    }
}

TEST(PanelCells, BandsShareOneBorderLine)
{
    const Rect cell{19, 176, 80, 205};
    EXPECT_EQ(TagBandRect(cell, 14), (Rect{19, 176, 80, 190}));
    EXPECT_EQ(ValueBandRect(cell, 14), (Rect{19, 189, 80, 205}));
    EXPECT_EQ(DigitalStateRect(cell, 14), (Rect{22, 192, 77, 202}));
}

TEST(StatusBar, FieldsOfA1000By623Client)
{
    EXPECT_EQ(StatusSeparatorY(623), 601);
    EXPECT_EQ(StatusMessageField(1000, 623), (Rect{5, 604, 675, 621}));
    EXPECT_EQ(StatusMessageTextRect(1000, 623).left, 9);
    EXPECT_EQ(ProgressField(1000, 623), (Rect{685, 604, 835, 621}));
    EXPECT_EQ(ClockField(1000, 623), (Rect{845, 604, 995, 621}));
}

TEST(StatusBar, ProgressBarGrowsWithTheClampedPercentage)
{
    const Rect field{685, 604, 835, 621};
    struct Case {
        int progress;
        Rect bar;
    };
    const Case cases[] = {
        {0, {}}, {-5, {}}, {1, {688, 607, 690, 618}}, {50, {688, 607, 761, 618}},
        {100, {688, 607, 833, 618}}, {250, {688, 607, 833, 618}},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgressBarRect(field, c.progress), c.bar) << c.progress;
    EXPECT_EQ(ClampProgress(-1), 0);
    EXPECT_EQ(ClampProgress(101), 100);
}

} // namespace
