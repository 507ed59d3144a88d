// The terminal user interface of tarnctl and its port argument, without a process.
#include "cli/subcommands.h"
#include "cli/terminal_ui.h"

#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarn::cli {
namespace {

using tarn::testing::CoreFixture;

struct Streams {
    std::ostringstream out;
    std::ostringstream err;
};

TEST(TerminalUserInterface, ProgressLineIsRedrawnInPlaceAndCleared)
{
    CoreFixture core;
    Streams s;
    TerminalUserInterface ui(s.out, s.err, false, true);
    ui.SetProgress(0); // no status yet: nothing to draw
    ui.SetStatusMessage("Reading configuration of master");
    ui.SetProgress(25);
    ui.SetProgress(25); // the same line again is not drawn again
    ui.SetStatusMessage("Reading configuration of slave 2 Channel 1");
    ui.SetStatusMessage("Tag 1");
    ui.ClearProgressLine();
    ui.ClearProgressLine(); // nothing left to clear
    EXPECT_EQ(s.err.str(), "\r  0% Reading configuration of master"
                           "\r 25% Reading configuration of master"
                           "\r 25% Reading configuration of slave 2 Channel 1"
                           "\r 25% Tag 1" + std::string(47 - 10, ' ') +
                           "\r" + std::string(10, ' ') + "\r");
    EXPECT_EQ(s.out.str(), "");
}

TEST(TerminalUserInterface, EmptyStatusClearsAndMessagesStartOnACleanLine)
{
    CoreFixture core;
    Streams s;
    TerminalUserInterface ui(s.out, s.err, false, true);
    ui.SetStatusMessage("Writing configuration of master");
    ui.ShowMessage(MessageIcon::Error, "Error", "Communication error with KX940");
    ui.SetProgress(99); // the line comes back below the message
    ui.ClearProgressLine();
    EXPECT_EQ(s.err.str(), "\r  0% Writing configuration of master\r" + std::string(36, ' ') +
                               "\rCommunication error with KX940\n"
                               "\r 99% Writing configuration of master\r" + std::string(36, ' ') + "\r");

    Streams t;
    TerminalUserInterface ui2(t.out, t.err, false, true);
    ui2.SetStatusMessage("Channel");
    ui2.SetStatusMessage("");
    ui2.SetProgress(0);
    EXPECT_EQ(t.err.str(), "\r  0% Channel\r" + std::string(12, ' ') + "\r");
}

TEST(TerminalUserInterface, NoProgressLineOffATerminal)
{
    CoreFixture core;
    Streams s;
    TerminalUserInterface ui(s.out, s.err, false, false);
    ui.SetStatusMessage("Reading configuration of master");
    ui.SetProgress(50);
    ui.ClearProgressLine();
    ui.SetStatusMessage("");
    EXPECT_EQ(s.err.str(), "");
}

TEST(TerminalUserInterface, MessagesAreUtf8LinesOnTheErrorStream)
{
    CoreFixture core;
    Streams s;
    TerminalUserInterface ui(s.out, s.err, false, false);
    ui.ShowMessage(MessageIcon::Information, "Information", "Nessuna unit\340 installata\n\n");
    ui.ShowMessageWithDetails(MessageIcon::Error, "Error", "Unavailable Port", "Permission denied");
    ui.ShowMessageWithDetails(MessageIcon::Error, "Error", "Unavailable Port", "");
    EXPECT_EQ(s.err.str(), "Nessuna unit\xC3\xA0 installata\n"
                           "Unavailable Port: Permission denied\n"
                           "Unavailable Port\n");
    EXPECT_EQ(s.out.str(), "");
}

TEST(TerminalUserInterface, ErrorsAndOnlyErrorsTakeThePrefix)
{
    CoreFixture core;
    Streams s;
    TerminalUserInterface ui(s.out, s.err, false, false, "tarnctl: ");
    ui.ShowMessage(MessageIcon::Error, "Error", "Communication error with KX940");
    ui.ShowMessageWithDetails(MessageIcon::Error, "Error", "Unavailable Port", "/dev/ttyUSB0: Permission denied");
    ui.ShowMessage(MessageIcon::Information, "Information", "Done");
    EXPECT_EQ(s.err.str(), "tarnctl: Communication error with KX940\n"
                           "tarnctl: Unavailable Port: /dev/ttyUSB0: Permission denied\n"
                           "Done\n");
}

TEST(TerminalUserInterface, QuestionsTakeTheAnswerOfTheFlag)
{
    CoreFixture core;
    for (const bool yes : {false, true}) {
        Streams s;
        TerminalUserInterface ui(s.out, s.err, yes, false);
        EXPECT_EQ(AskProceedAnyway(ui, "KX940 content\n\nWill overwite changes!"), yes ? 1 : 0);
        SetLanguage(LANGUAGE_ITALIAN);
        EXPECT_EQ(AskYesNo(ui, "Procedere?"), yes ? 1 : 0);
        SetLanguage(LANGUAGE_ENGLISH);
        EXPECT_EQ(s.err.str(), std::string("KX940 content\n\nWill overwite changes!\n\nProceed anyway? ") +
                                   (yes ? "Yes" : "No") + "\nProcedere? " + (yes ? "Si" : "No") + "\n");
    }
}

TEST(TerminalUserInterface, ReportGoesToTheOutputWithLineFeeds)
{
    CoreFixture core;
    Streams s;
    TerminalUserInterface ui(s.out, s.err, false, true);
    ui.SetStatusMessage("Channel");
    ui.ShowComparisonReport("Actual Configuration\tGateway Configuration\r\n  Ch 1 - Tag\tOk\t<\260C>\t<\260C>\r\n\r\n");
    EXPECT_EQ(s.out.str(), "Actual Configuration\tGateway Configuration\n  Ch 1 - Tag\tOk\t<\xC2\xB0" "C>\t<\xC2\xB0" "C>\n\n");
    EXPECT_EQ(s.err.str(), "\r  0% Channel\r" + std::string(12, ' ') + "\r");
}

TEST(TerminalText, OnlyCarriageReturnsBeforeLineFeedsGo)
{
    EXPECT_EQ(ToTerminalText("a\r\nb\rc\n\r\n"), "a\nb\rc\n\n");
    EXPECT_EQ(ToTerminalText(""), "");
}

TEST(PortArgument, NamesADeviceOrACOMNumber)
{
    struct Case {
        const char* argument;
        bool ok;
        int number;
        const char* name;
    } cases[] = {
        {"/dev/ttyUSB0", true, 0, "/dev/ttyUSB0"},
        {"ttyS0", true, 0, "ttyS0"},
        {"COM3", true, 3, ""},
        {"com12", true, 12, ""},
        {"1", true, 1, ""},
        {"256", true, 256, ""},
        {"COM256", true, 256, ""},
        {"0", false, 0, ""},
        {"257", false, 0, ""},
        {"COM0", false, 0, ""},
        {"COM", false, 0, ""},
        {"COMX", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        PortSetting port;
        port.number = 77;
        EXPECT_EQ(ParsePortArgument(c.argument, port), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(port.number, c.number);
        EXPECT_EQ(port.name, c.name);
    }
    PortSetting com4;
    ASSERT_TRUE(ParsePortArgument("COM4", com4));
    EXPECT_EQ(com4.DevicePath(), "/dev/ttyS3");
}

} // namespace
} // namespace tarn::cli
