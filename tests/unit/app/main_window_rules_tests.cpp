#include "app/main_window_rules.h"

#include "config/app_state.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

using testing::CoreFixture;
using Kind = ElementDialog::Kind;

TEST(ElementLabel, NamesEveryDiagramElement)
{
    CoreFixture f;
    const struct {
        int element;
        const char* english;
        const char* italian;
    } cases[] = {
        {0, "", ""}, {1, "Gateway KX940", "Gayeway KX940"}, {10, "Slave 1", "Slave 1"},
        {21, "Slave 2 - Expansion 1", "Slave 2 - Espansione 1"}, {43, "Slave 4 - Expansion 3", "Slave 4 - Espansione 3"},
        {14, "", ""}, {50, "Repeater 1", "Ripetitore 1"}, {53, "Repeater 4", "Ripetitore 4"}, {54, "", ""},
        {60, "Serial Cable", "Connessione Seriale"}, {66, "Repeater Cable", "Connessione Ripetitore"}, {67, "", ""},
    };
    for (const auto& c : cases) {
        SetLanguage(LANGUAGE_ENGLISH);
        EXPECT_EQ(ElementLabel(c.element), c.english) << c.element;
        SetLanguage(LANGUAGE_ITALIAN);
        EXPECT_EQ(ElementLabel(c.element), c.italian) << c.element;
    }
}

TEST(ElementDialogFor, OpensGatewayUnitAndRepeaterDialogsOutsideTransfers)
{
    CoreFixture f;
    const struct {
        int element;
        ElementDialog idle;
    } cases[] = {
        {0, {}}, {1, {Kind::Gateway, 0, 0}}, {10, {Kind::Unit, 0, 0}}, {32, {Kind::Unit, 2, 2}}, {19, {}},
        {53, {Kind::Repeater, 3, 0}}, {60, {}}, {99, {}},
    };
    for (const auto& c : cases) {
        for (int mode = MODE_IDLE; mode <= MODE_MODBUS_TEST; ++mode) {
            f.state.AppMode = mode;
            const bool ignored = mode >= MODE_READ_GATEWAY && mode <= MODE_PREPARE_SERIAL_TEST;
            EXPECT_EQ(ElementDialogFor(c.element), ignored ? ElementDialog{} : c.idle) << c.element << " in mode " << mode;
        }
    }
}

TEST(MayCloseMainWindow, RefusedWhileBusyAndAsksAboutUnsavedChanges)
{
    const struct {
        int mode;
        bool fileModified, gatewayModified, answer;
        bool asked, closes;
    } cases[] = {
        {MODE_IDLE, false, false, false, false, true},  {MODE_IDLE, true, false, true, true, true},
        {MODE_IDLE, false, true, false, true, false},   {MODE_READ_GATEWAY, false, false, true, false, false},
        {MODE_MODBUS_TEST, false, true, true, false, false},  // the busy modes between ask nothing either
    };
    for (const auto& c : cases) {
        CoreFixture f;
        f.state.AppMode = c.mode;
        f.state.FileModified = c.fileModified;
        f.state.GatewayModified = c.gatewayModified;
        f.ui.answers = {c.answer};
        EXPECT_EQ(MayCloseMainWindow(), c.closes) << c.mode << c.fileModified << c.gatewayModified;
        ASSERT_EQ(f.ui.messages.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(f.ui.messages[0].text, "Any change not saved will be lost!\n\nProceed anyway?\n\n");
        }
    }
}

} // namespace
} // namespace tarn
