#include "app/main_window_rules.h"

#include "config/app_state.h"
#include "dialogs/config_edits.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using testing::CoreFixture;
using Kind = ElementDialog::Kind;

// A KX913 carries at most three expansions: Add on a full unit changes nothing in it.
TEST(UnitDialogResult, AddStopsAtThreeExpansions)
{
    CoreFixture f;
    UnitRecord& u = f.state.current.units[0];
    u.SLAVE_TYPE = UNIT_KX913;
    u.SLAVE_EXP = 2;
    ApplyUnitDialogResult(f.state, 0, UNIT_DIALOG_ADD);
    EXPECT_EQ(u.SLAVE_EXP, 3u);
    ApplyUnitDialogResult(f.state, 0, UNIT_DIALOG_ADD);
    EXPECT_EQ(u.SLAVE_EXP, 3u);
    EXPECT_EQ(u.SLAVE_TYPE, std::uint32_t(UNIT_KX913));
}

TEST(ElementDialogFor, OpensGatewayUnitAndRepeaterDialogsOutsideTransfers)
{
    CoreFixture f;
    const struct {
        int element;
        ElementDialog idle;
    } cases[] = {
        {0, {}}, {1, {Kind::Gateway, 0, 0}}, {10, {Kind::Unit, 0, 0}}, {43, {Kind::Unit, 3, 3}}, {19, {}},
        {53, {Kind::Repeater, 3, 0}}, {60, {}}, {99, {}},
    };
    for (const auto& c : cases) {
        for (AppMode mode : {AppMode::Idle, AppMode::ReadGateway, AppMode::WriteGateway, AppMode::CompareGateway,
                             AppMode::PrepareSerialTest, AppMode::SerialTest, AppMode::ModbusTest}) {
            f.state.mode = mode;
            const bool ignored = mode == AppMode::ReadGateway || mode == AppMode::WriteGateway ||
                                 mode == AppMode::CompareGateway || mode == AppMode::PrepareSerialTest;
            EXPECT_EQ(ElementDialogFor(f.state, c.element), ignored ? ElementDialog{} : c.idle)
                << c.element << " in mode " << static_cast<int>(mode);
        }
    }
}

TEST(MayCloseMainWindow, RefusedWhileBusyAndAsksAboutUnsavedChanges)
{
    const struct {
        AppMode mode;
        bool fileModified, gatewayModified, answer;
        bool asked, closes;
    } cases[] = {
        {AppMode::Idle, false, false, false, false, true},  {AppMode::Idle, true, false, true, true, true},
        {AppMode::Idle, false, true, false, true, false},   {AppMode::ReadGateway, false, false, true, false, false},
        {AppMode::ModbusTest, false, true, true, false, false},  // the busy modes between ask nothing either
    };
    for (const auto& c : cases) {
        CoreFixture f;
        f.state.mode = c.mode;
        f.state.FileModified = c.fileModified;
        f.state.GatewayModified = c.gatewayModified;
        f.ui.answers = {c.answer};
        EXPECT_EQ(MayCloseMainWindow(f.state), c.closes) << static_cast<int>(c.mode) << c.fileModified << c.gatewayModified;
        ASSERT_EQ(f.ui.messages.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(f.ui.messages[0].text, "Any change not saved will be lost!\n\nProceed anyway?\n\n");
        }
    }
}

} // namespace
} // namespace tarn
