#include "config/settings_file.h"

#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::CoreFixture;
using testing::InDirectory;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

PortSetting Com(int n) { return PortSetting{n, {}}; }
PortSetting Named(const std::string& s) { return PortSetting{0, s}; }

TEST(SettingsParse, StatementsAndTheirCodes)
{
    const struct {
        std::string text;
        int code;  // 0: accepted
        Settings after;
    } cases[] = {
        {"// only comments\r\n\r\n   \r\n//  SERIALPORT 9\r\n", 0, {}},
        {"  serialport 3\r\n", 0, {Com(3), {}, 0}},
        {"SERIALPORT 256\nMODBUSPORT 0\nLANGUAGE 1\n", 0, {Com(256), Com(0), 1}},
        {"SERIALPORT 1\nSERIALPORT 2\n", 0, {Com(2), {}, 0}},          // the last one counts
        {"SerialPort 007\n", 0, {Com(7), {}, 0}},
        {"SERIALPORT \"/dev/ttyUSB0\"\n", 0, {Named("/dev/ttyUSB0"), {}, 0}},
        {"MODBUSPORT \"/dev/serial/by-id/usb FTDI\"// link\n", 0, {{}, Named("/dev/serial/by-id/usb FTDI"), 0}},
        {"SERIALPORT 257\n", 4, {}},
        {"SERIALPORT 99999999999999999999\n", 4, {}},
        {"SERIALPORT 3x\n", 5, {}},
        {"SERIALPORT -1\n", 5, {}},
        {"SERIALPORT\n", 5, {}},
        {"SERIALPORT 3 4\n", 1, {}},
        {"LANGUAGE 2\n", 4, {}},
        {"LANGUAGE \"1\"\n", 5, {}},
        {"SERIALPORT \"/dev/tty\n", 5, {}},                             // no closing quote
        {"SERIALPORT \"a\"b\n", 1, {}},
        {"SERIALPORT 3//com\n", 5, {}},
        {"BAUDRATE 3\n", 3, {}},
        {"BAUDRATE 3 4\n", 1, {}},                                      // field count is checked first
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        Settings s;
        const ReadFault fault = ParseSettings(in, s);
        if (c.code == 0) {
            EXPECT_TRUE(fault.ok()) << c.text << " code " << fault.code;
            EXPECT_EQ(s, c.after) << c.text;
        } else {
            EXPECT_EQ(fault.kind, ReadFault::Statement) << c.text;
            EXPECT_EQ(fault.code, c.code) << c.text;
            EXPECT_EQ(fault.line, 1) << c.text;
        }
    }
}

TEST(SettingsParse, StopsAtTheFirstFaultWithEarlierValuesApplied)
{
    std::istringstream in("SERIALPORT 4\r\n\r\nLANGUAGE 9\r\nMODBUSPORT 5\r\n");
    Settings s;
    const ReadFault fault = ParseSettings(in, s);
    EXPECT_EQ(fault.line, 3);
    EXPECT_EQ(fault.statement, "LANGUAGE 9");
    EXPECT_EQ(s, (Settings{Com(4), {}, 0}));
}

TEST(SettingsFormat, ValuesTheReaderWouldRefuseAreWrittenAsZero)
{
    const struct {
        PortSetting port;
        std::string written;
    } cases[] = {
        {Named("with \"quote\""), "0"},
        {Named("tab\there"), "0"},
        {Named(std::string(283, 'p')), "\"" + std::string(283, 'p') + "\""},  // a line of exactly 299
        {Named(std::string(284, 'p')), "0"},
        {Com(257), "0"},
        {Com(-1), "0"},
    };
    for (const auto& c : cases) {
        const std::string text = FormatSettings({c.port, {}, 0});
        EXPECT_NE(text.find("  SERIALPORT  " + c.written + "\r\n"), std::string::npos) << c.port.name;
        std::istringstream in(text);
        Settings back;
        EXPECT_TRUE(ParseSettings(in, back).ok()) << c.port.name;
    }
    EXPECT_NE(FormatSettings({{}, {}, 5}).find("  LANGUAGE    1\r\n"), std::string::npos);
}

// The Settings file of the current directory, as the program reads it at its start.
class SettingsFile : public ::testing::Test {
protected:
    int Read(const std::string& text)
    {
        WriteFile(dir.file(SETTINGS_FILE_NAME), text);
        InDirectory here(dir.path());
        return ReadSettingsFile(f.state);
    }

    CoreFixture f;
    TempDir dir;
};

TEST_F(SettingsFile, MissingFileMeansAllZeroWithoutMessage)
{
    InDirectory here(dir.path());
    f.state.serialPort = Com(5);
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(ReadSettingsFile(f.state), 1);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(f.state.startDirectory, fs::current_path().string());
    EXPECT_TRUE(f.state.serialPort.IsNone());
    EXPECT_TRUE(f.state.modbusPort.IsNone());
    EXPECT_EQ(GetLanguage(), LANGUAGE_ENGLISH);
}

TEST_F(SettingsFile, FaultAtLineSevenNamesFileLineStatementAndType)
{
    EXPECT_EQ(Read("// Initialization file of program Tarn.exe\r\n\r\n  SERIALPORT  1\r\n\r\n// x\r\n  MODBUSPORT  2\r\n"
                   "  Language\b 7 \t// tab\r\n"),
              0);
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(f.ui.messages[0].caption, "Error");
    EXPECT_EQ(f.ui.messages[0].text, "File name :\tKVR5160.Ini\nError at line:\t7\nStatement:\t  Language  7 \n\n"
                                     "Error type:\tIncorrect parameter value\n\n");
}

TEST_F(SettingsFile, AnEarlierLanguageStatementMakesTheMessageItalian)
{
    EXPECT_EQ(Read("LANGUAGE 1\nSERIALPORT 3 4\n"), 0);
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].caption, GetTextIn(LANGUAGE_ITALIAN, 12));
    EXPECT_NE(f.ui.messages[0].text.find(GetTextIn(LANGUAGE_ITALIAN, 372)), std::string::npos);
    EXPECT_NE(f.ui.messages[0].text.find(GetTextIn(LANGUAGE_ITALIAN, 386)), std::string::npos);
}

TEST_F(SettingsFile, AFileThatCannotBeReadFails)
{
    fs::create_directory(dir.path() / SETTINGS_FILE_NAME);
    InDirectory here(dir.path());
    EXPECT_EQ(ReadSettingsFile(f.state), 0);
    // Linux opens a folder and fails the read; other systems fail the open.
    ASSERT_EQ(f.ui.texts(MessageIcon::Error).size(), 1u);
    const std::string text = f.ui.texts(MessageIcon::Error).at(0);
    EXPECT_TRUE(text == GetText(390) || text == GetText(389)) << text;
}

TEST_F(SettingsFile, WritesEachPortInItsFormIntoTheStartDirectoryAndReadsBack)
{
    TempDir elsewhere;
    f.state.startDirectory = dir.path().string();
    f.state.serialPort = Named("/dev/ttyACM0");
    f.state.modbusPort = Com(12);
    SetLanguage(LANGUAGE_ITALIAN);
    {
        InDirectory here(elsewhere.path());
        WriteSettingsFile(f.state);
    }
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_FALSE(fs::exists(elsewhere.file(SETTINGS_FILE_NAME)));
    const std::string written = ReadFile(dir.file(SETTINGS_FILE_NAME));
    EXPECT_EQ(written, "// Initialization file of program Tarn.exe\r\n\r\n  SERIALPORT  \"/dev/ttyACM0\"\r\n"
                       "  MODBUSPORT  12\r\n  LANGUAGE    1\r\n");
    f.state.serialPort = f.state.modbusPort = Com(1);
    SetLanguage(LANGUAGE_ENGLISH);
    EXPECT_EQ(Read(written), 1);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(f.state.serialPort, Named("/dev/ttyACM0"));
    EXPECT_EQ(f.state.modbusPort, Com(12));
    EXPECT_EQ(GetLanguage(), LANGUAGE_ITALIAN);
}

TEST_F(SettingsFile, AFailedWriteKeepsThePreviousFile)
{
    f.state.startDirectory = dir.path().string();
    const std::string old = WriteFile(dir.file(SETTINGS_FILE_NAME), "  SERIALPORT  1\r\n");
    f.state.serialPort = Com(2);
    f.state.saving.injector = [](SaveStep step) { return step == SaveStep::Sync; };
    WriteSettingsFile(f.state);
    f.state.saving.injector = {};
    EXPECT_EQ(f.ui.texts(MessageIcon::Error), std::vector<std::string>{GetText(391)});
    EXPECT_EQ(ReadFile(dir.file(SETTINGS_FILE_NAME)), "  SERIALPORT  1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    f.state.startDirectory = (dir.path() / "missing").string();
    WriteSettingsFile(f.state);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error).back(), GetText(389));
}

} // namespace
} // namespace tarn
