// The cells of a unit panel as relations: rows of sixteen that share their border lines and fill
// the panel below its header, as many rows as the unit type has channels for.
#include "view/view_layout.h"

#include <gtest/gtest.h>

using namespace tarn;

namespace {

TEST(PanelCells, RowsOfSixteenByUnitType)
{
    const ViewLayout L = ComputeViewLayout(1000, 623);
    const Rect& panel = L.panels[1];
    for (const auto& [type, rows] : {std::pair{UNIT_KX913, 4}, {UNIT_KX927, 2}, {UNIT_NONE, 0}, {2u, 0}}) {
        const auto cell = [&](int c) { return ChannelCellRect(panel, L.panelHeader, type, c); };
        for (int c = 0; c < 64; ++c) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " channel " << c);
            const Rect here = cell(c), left = cell(c - 1), up = cell(c - 16);
            if (c >= 16 * rows) {
                EXPECT_EQ(here, Rect{});
            } else if (c % 16) {
                EXPECT_EQ(here, (Rect{left.right - 1, left.top, here.right, left.bottom}));
            } else if (c) {
                EXPECT_EQ(here, (Rect{up.left, up.bottom - 1, up.right, here.bottom}));
            }
        }
        if (!rows) continue;
        const Rect last = cell(16 * rows - 1);
        EXPECT_EQ(cell(0).top, panel.top + L.panelHeader);
        EXPECT_LT(panel.left, cell(0).left);
        EXPECT_LT(last.right, panel.right);
        EXPECT_LE(last.bottom, panel.bottom);
        EXPECT_LT(panel.bottom - last.bottom, (last.bottom - last.top) / 2) << "the rows leave the panel's foot empty";
    }
}

} // namespace
