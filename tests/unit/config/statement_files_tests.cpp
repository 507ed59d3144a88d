// Statement files: the line reader under them, the Settings file and the configuration file.
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/settings_file.h"
#include "config/statement_reader.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::vector<std::string> Pieces(const std::string& bytes)
{
    std::istringstream in(bytes);
    StatementLineReader reader(in);
    std::vector<std::string> pieces;
    std::string line;
    StatementLineReader::Result r;
    while ((r = reader.Next(line)) == StatementLineReader::Result::Line) pieces.push_back(line);
    EXPECT_EQ(r, StatementLineReader::Result::End);
    return pieces;
}

// Lines of every length up to three pieces of 299 characters, with LF or CR LF, one after the
// other: breaks and full pieces fall on every offset of the reader's blocks.
TEST(StatementReader, LinesComeInPiecesOfAtMost299Characters)
{
    EXPECT_EQ(Pieces(""), std::vector<std::string>{});
    std::string bytes;
    std::vector<std::string> expected;
    unsigned seed = 7;
    for (std::size_t length = 0; length <= 3 * 299 + 2; ++length) {
        std::string physical;
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            physical.push_back("ab \r"[(seed >> 16) % 4]);  // a lone CR stays for the cleaning to cut
        }
        if (!physical.empty() && physical.back() == '\r') physical.back() = 'z';
        bytes += physical + (length % 2 ? "\r\n" : "\n");
        if (physical.empty()) expected.push_back("");
        for (std::size_t at = 0; at < physical.size(); at += 299) expected.push_back(physical.substr(at, 299));
    }
    const std::string full(299, 'a');
    bytes += full + "\ry\nlast without break";
    expected.insert(expected.end(), {full, "\ry", "last without break"});
    ASSERT_GT(bytes.size(), 100000u);
    EXPECT_EQ(Pieces(bytes), expected);
}

PortSetting Com(int n) { return PortSetting{n, {}}; }
PortSetting Named(const std::string& s) { return PortSetting{0, s}; }

TEST(SettingsParse, StatementsAndTheirCodes)
{
    const std::tuple<std::string, int, Settings> cases[] = {  // text, code (0: accepted), settings read
        {"// only comments\r\n\r\n   \r\n//  SERIALPORT 9\r\n", 0, {}},
        {"  serialport 3\r\n", 0, {Com(3), {}, 0}},
        {"SERIALPORT 1\nSERIALPORT 256\nMODBUSPORT 0\nLANGUAGE 1\n", 0, {Com(256), Com(0), 1}},  // the last one counts
        {"MODBUSPORT \"/dev/serial/by-id/usb FTDI\"// link\n", 0, {{}, Named("/dev/serial/by-id/usb FTDI"), 0}},
        {"SERIALPORT 257\n", 4, {}},
        {"VERIFYWRITE 1\n", 0, {{}, {}, 0, 0, true}},
        {"VERIFYWRITE 2\n", 4, {}},
        {"netlatency 10000\n", 0, {{}, {}, 0, 10000}},
        {"NETLATENCY 10001\n", 4, {}},
        {"NETLATENCY \"50\"\n", 5, {}},
        {"SERIALPORT 99999999999999999999\n", 4, {}},
        {"SERIALPORT 3 4\n", 1, {}},
        {"SERIALPORT \"/dev/tty\n", 5, {}},                             // no closing quote
        {"SERIALPORT \"a\"b\n", 1, {}},
        {"BAUDRATE 3\n", 3, {}},
        {"BAUDRATE 3 4\n", 1, {}},                                      // field count is checked first
    };
    for (const auto& [text, code, after] : cases) {
        std::istringstream in(text);
        Settings s;
        const ReadFault fault = ParseSettings(in, s);
        EXPECT_EQ(fault.kind, code ? ReadFault::Statement : ReadFault::None) << text;
        EXPECT_EQ(fault.code, code) << text;
        EXPECT_EQ(s, code ? Settings{} : after) << text;
    }
}

TEST(SettingsFormat, ValuesTheReaderWouldRefuseAreWrittenAsZero)
{
    const std::pair<PortSetting, std::string> cases[] = {
        {Named("with \"quote\""), "0"},
        {Named(std::string(283, 'p')), "\"" + std::string(283, 'p') + "\""},  // a line of exactly 299
        {Named(std::string(284, 'p')), "0"},
        {Com(257), "0"},
    };
    for (const auto& [port, written] : cases) {
        const std::string text = FormatSettings({port, {}, 0});
        EXPECT_NE(text.find("  SERIALPORT  " + written + "\r\n"), std::string::npos) << port.name;
        std::istringstream in(text);
        Settings back;
        EXPECT_TRUE(ParseSettings(in, back).ok()) << port.name;
    }
    EXPECT_NE(FormatSettings({{}, {}, 5}).find("  LANGUAGE    1\r\n"), std::string::npos);
    // Off is the default and not written, so a program that knows no such setting reads the file.
    EXPECT_EQ(FormatSettings({}).find("VERIFYWRITE"), std::string::npos);
    EXPECT_EQ(FormatSettings({}).find("NETLATENCY"), std::string::npos);
    EXPECT_NE(FormatSettings({{}, {}, 0, 250, true}).find("  NETLATENCY  250\r\n  VERIFYWRITE 1\r\n"), std::string::npos);
}

TEST(ConfigurationStatements, ChecksInOrderWithTheirCodes)
{
    const std::string q = "\"";
    const std::pair<std::string, int> cases[] = {  // the statement, its code (0: accepted)
        {"MASTER_TAG " + q + std::string(16, 'x') + q, 0},
        {"MASTER_TAG " + q + std::string(17, 'x') + q, 5},
        {"DOCUMENT", 5},                           // an absent text is a format fault
        {"MASTER_MOD_ADDR 0x0000", 4},
        {"MASTER_REPT_MAT 0x04 0x0000", 6},
        {"MASTER_REPT_MAT 0x00 0x0004", 7},
        {"SLAVE_TYPE 0x00 0x0002", 9},
        {"SLAVE_TYPE 0x04 0x0002", 8},            // the unit is checked before the type
        {"SLAVE_EXP 0x01 0x0004", 10},
        {"SLAVE_CJC 0x00 0xFE6F", 11},
        {"SLAVE_CJC 0x00 0x03E8", 0},
        {"SLAVE_CJC 0x00 0x03E9", 11},
        {"SLAVE_CJC 0x00 0x80000000", 5},
        {"CHANNEL 0x00 0x05 \"T\"", 2},
        {"CHANNEL 0x04 0x40 \"T\" 0x10000", 8},     // unit before channel before word
        {"CHANNEL 0x00 0x40 \"T\" 0x10000", 12},
        {"CHANNEL 0x00 0x3F \"T\" 0x10000", 4},
        {"CHANNEL 9 0x40 \"T\" 0x1", 5},            // format before range
        {"CHANNEL 0x00 0x00 \"A B C\"// note\" 0x1", 2},
        {" // indented comment", 3},
    };
    for (const auto& [line, code] : cases) {
        SystemConfiguration image{};
        std::istringstream in(line + "\r\n");
        const ConfigReadFault fault = ParseConfiguration(in, image);
        EXPECT_EQ(fault.kind, code ? ConfigReadFault::Statement : ConfigReadFault::None) << line;
        EXPECT_EQ(fault.code, code) << line;
        EXPECT_EQ(fault.statement, code ? line : "") << line;
    }
}

// The writer's headings and padded tags, and every stored field back through the reader.
TEST(ConfigurationFile, WriteThenReadGivesBackEveryStoredField)
{
    SystemConfiguration source = testing::FullInstallation();  // units: KX913 -40.0 °C, none -0.1 °C, KX927, KX913
    source.units[1].SLAVE_EXP = 2;   // an empty position keeps its expansions too
    source.units[1].SLAVE_TYPE = 7;  // in no record the program makes: written as an empty position
    SystemConfiguration expected = source;
    expected.units[1].SLAVE_TYPE = UNIT_NONE;
    // Trailing blanks of tags are not written; texts keep theirs.
    SetFieldText(source.units[3].channels[63].tag, "x\xE0  ");
    SetFieldText(expected.units[3].channels[63].tag, "x\xE0");
    const std::string text = FormatConfiguration(source);
    for (const std::string expectedLines : {
             "\r\n\r\n// Configuration of Unit 1 - type: KX913\r\n SLAVE_TYPE 0x00 0x0001\r\n"
             " SLAVE_EXP  0x00 0x0003\r\n SLAVE_CJC  0x00 0xFE70\r\n  CHANNEL 0x00 0x00 \"TI 101 \xB0" "C       \" 0x0801\r\n",
             "// Configuration of Unit 2 - type: Not installed\r\n SLAVE_TYPE 0x01 0x0000\r\n"
             " SLAVE_EXP  0x01 0x0002\r\n SLAVE_CJC  0x01 0xFFFF\r\n",
             "// Configuration of Unit 3 - type: KX927\r\n SLAVE_TYPE 0x02 0x0003\r\n",
             " SLAVE_CJC  0x03 0x03E8\r\n",
         })
        EXPECT_NE(text.find(expectedLines), std::string::npos) << expectedLines;
    SystemConfiguration back{};
    BuildDefaultConfiguration(back);
    std::istringstream in(text);
    ASSERT_TRUE(ParseConfiguration(in, back).ok());
    EXPECT_TRUE(testing::SameBytes(back, expected));
}

// Inputs that are no configuration file end the read at once with the read error, before any
// statement is applied; a pipe is read like a file.
TEST(ConfigurationFile, InputsThatAreNoStatementFileAreRefusedAtOnce)
{
    const std::string statement = " MASTER_FREQ 0x0001\r\n";
    const auto sized = [&](std::size_t size) { return statement + std::string(size - statement.size(), '\n'); };
    TempDir dir;
    const std::string zero = dir.file("zero");  // a device of endless zeros
    ASSERT_EQ(::mknod(zero.c_str(), S_IFCHR | 0666, makedev(1, 5)), 0) << std::strerror(errno);
    const std::pair<std::string, ReadFault::Kind> rows[] = {
        {WriteFile(dir.file("nul.mcf"), statement + std::string(1, '\0') + statement), ReadFault::Read},
        {WriteFile(dir.file("full.mcf"), sized(STATEMENT_FILE_LIMIT)), ReadFault::None},
        {WriteFile(dir.file("over.mcf"), sized(STATEMENT_FILE_LIMIT + 1)), ReadFault::Read},
        {dir.path().string(), ReadFault::Read},
        {zero, ReadFault::Read},
    };
    for (const auto& [path, fault] : rows) {
        SystemConfiguration image{};
        EXPECT_EQ(ParseConfigurationFile(path, image).kind, fault) << path;
        EXPECT_EQ(image.MASTER_FREQ, fault == ReadFault::None ? 1u : 0u) << path << ": applied before the refusal";
    }
}

} // namespace
} // namespace tarn
