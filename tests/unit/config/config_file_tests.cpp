#include "config/config_file.h"

#include "config/app_state.h"
#include "config/default_config.h"
#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

namespace tarn {
namespace {

using testing::FullInstallation;
using testing::SameBytes;
using testing::TempDir;
using testing::WriteFile;

ConfigReadFault Parse(const std::string& text, SystemConfiguration& image)
{
    std::istringstream in(text);
    return ParseConfiguration(in, image);
}

TEST(ConfigurationStatements, ChecksInOrderWithTheirCodes)
{
    const std::string q = "\"";
    const struct {
        std::string line;
        int code;
    } cases[] = {
        {"MASTER_TAG \"Plant 7\"", 0},
        {"MASTER_TAG Plant", 5},
        {"MASTER_TAG " + q + std::string(16, 'x') + q, 0},
        {"MASTER_TAG " + q + std::string(17, 'x') + q, 5},
        {"DOCUMENT", 5},                           // an absent text is a format fault
        {"OPERATOR_2 \"a\" \"b\"", 1},
        {"MASTER_CABLE 0x0004", 4},
        {"MASTER_CABLE", 2},
        {"MASTER_CABLE 3", 5},
        {"MASTER_MOD_ADDR 0x0000", 4},
        {"MASTER_MOD_ADDR 0x00FA", 0},
        {"MASTER_REPT_MAT 0x03 0x0003", 0},
        {"MASTER_REPT_MAT 0x04 0x0000", 6},
        {"MASTER_REPT_MAT 0x00 0x0004", 7},
        {"SLAVE_TYPE 0x00 0x0002", 9},
        {"SLAVE_TYPE 0x04 0x0002", 8},            // the unit is checked before the type
        {"SLAVE_EXP 0x01 0x0004", 10},
        {"SLAVE_CJC 0x00 0xFE70", 0},
        {"SLAVE_CJC 0x00 0xFE6F", 11},
        {"SLAVE_CJC 0x00 0x03E8", 0},
        {"SLAVE_CJC 0x00 0x03E9", 11},
        {"SLAVE_CJC 0x00 0x80000000", 5},
        {"CHANNEL 0x00 0x05 \"T\"", 2},
        {"CHANNEL 0x04 0x40 \"T\" 0x10000", 8},     // unit before channel before word
        {"CHANNEL 0x00 0x40 \"T\" 0x10000", 12},
        {"CHANNEL 0x00 0x3F \"T\" 0x10000", 4},
        {"CHANNEL 0x00 0x3F \"" + std::string(17, 'x') + "\" 0x1", 5},
        {"CHANNEL 9 0x40 \"T\" 0x1", 5},            // format before range
        {"CHANNEL 0x00 0x00 \"A B C\"// note\" 0x1", 2},
        {" // indented comment", 3},
    };
    for (const auto& c : cases) {
        SystemConfiguration image{};
        BuildDefaultConfiguration(image);
        const ConfigReadFault fault = Parse(c.line + "\r\n", image);
        if (c.code == 0) {
            EXPECT_TRUE(fault.ok()) << c.line << " gave code " << fault.code;
        } else {
            EXPECT_EQ(fault.kind, ConfigReadFault::Statement) << c.line;
            EXPECT_EQ(fault.code, c.code) << c.line;
            EXPECT_EQ(fault.statement, c.line) << c.line;
        }
    }
}

// The writer's headings and padded tags, and every stored field back through the reader.
TEST(ConfigurationFile, WriteThenReadGivesBackEveryStoredField)
{
    SystemConfiguration source = FullInstallation();  // units: KX913 -40.0 °C, none -0.1 °C, KX927, KX913
    source.units[1].SLAVE_EXP = 2;   // an empty position keeps its expansions too
    source.units[1].SLAVE_TYPE = 7;  // in no record the program makes: written as an empty position
    SystemConfiguration expected = source;
    expected.units[1].SLAVE_TYPE = UNIT_NONE;
    // Trailing blanks of tags are not written, texts keep theirs; fields outside the file are not stored.
    SetFieldText(source.MASTER_TAG, "Gate \xB0\xE0  ");
    SetFieldText(expected.MASTER_TAG, "Gate \xB0\xE0");
    SetFieldText(source.units[3].channels[63].tag, "x\xE0  ");
    SetFieldText(expected.units[3].channels[63].tag, "x\xE0");
    source.master_param1 = 11;
    source.units[0].second_type = 5;
    source.units[2].channels[7].live_value = 77;
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
    ASSERT_TRUE(Parse(text, back).ok());
    EXPECT_TRUE(SameBytes(back, expected));
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
