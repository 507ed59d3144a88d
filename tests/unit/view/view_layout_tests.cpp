// Geometry of the main view with plain values: the panels and their cells at a 1000 × 623
// client, shading and the status bar fields. The diagram's boxes and hit testing are checked
// on the regions a drawn diagram registers (tests/gui/view).
#include "view/view_layout.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

const ViewLayout L = ComputeViewLayout(1000, 623);  // W 1000, H 600

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

} // namespace
