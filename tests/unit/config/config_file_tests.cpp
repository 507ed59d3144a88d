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
#include <filesystem>
#include <functional>
#include <sstream>

namespace tarn {
namespace {

namespace fs = std::filesystem;
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
        {"MASTER_CABLE 0x0003", 0},
        {"MASTER_CABLE 0x0004", 4},
        {"MASTER_CABLE", 2},
        {"MASTER_CABLE 3", 5},
        {"MASTER_REPT 0x5", 4},
        {"MASTER_MOD_ADDR 0x0000", 4},
        {"MASTER_MOD_ADDR 0x00FB", 4},
        {"MASTER_MOD_ADDR 0x00FA", 0},
        {"MASTER_REPT_MAT 0x03 0x0003", 0},
        {"MASTER_REPT_MAT 0x04 0x0000", 6},
        {"MASTER_REPT_MAT 0x00 0x0004", 7},
        {"SLAVE_TYPE 0x00 0x0002", 9},
        {"SLAVE_TYPE 0x04 0x0002", 8},            // the unit is checked before the type
        {"SLAVE_TYPE 0x03 0x0003", 0},
        {"SLAVE_EXP 0x01 0x0004", 10},
        {"SLAVE_EXP 0x09 0x0004", 8},
        {"SLAVE_CJC 0x00 0xFE70", 0},
        {"SLAVE_CJC 0x00 0xFE6F", 11},
        {"SLAVE_CJC 0x00 0x03E8", 0},
        {"SLAVE_CJC 0x00 0x03E9", 11},
        {"SLAVE_CJC 0x00 0x80000000", 5},
        {"CHANNEL 0x00 0x05 \"T\" 0x0007", 0},
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

TEST(ConfigurationFile, WriteThenReadGivesBackEveryStoredField)
{
    SystemConfiguration source = FullInstallation();
    source.units[1].SLAVE_EXP = 2;  // an empty position keeps its expansions too
    SystemConfiguration expected = source;
    // Trailing blanks of tags are not written, texts keep theirs; fields outside the file are not stored.
    SetFieldText(source.MASTER_TAG, "Gate \xB0\xE0  ");
    SetFieldText(expected.MASTER_TAG, "Gate \xB0\xE0");
    SetFieldText(source.units[3].channels[63].tag, "x\xE0  ");
    SetFieldText(expected.units[3].channels[63].tag, "x\xE0");
    source.master_param1 = 11;
    source.units[0].second_type = 5;
    source.units[2].channels[7].live_value = 77;
    SystemConfiguration back{};
    BuildDefaultConfiguration(back);
    ASSERT_TRUE(Parse(FormatConfiguration(source), back).ok());
    EXPECT_TRUE(SameBytes(back, expected));
}

TEST(ConfigurationFile, HeadingsNumbersAndTagsOfInstalledUnits)
{
    SystemConfiguration image{};
    BuildDefaultConfiguration(image);
    image.units[0].SLAVE_TYPE = UNIT_KX913;
    image.units[0].SLAVE_EXP = 3;
    image.units[0].SLAVE_CJC = -400;
    image.units[1].SLAVE_TYPE = UNIT_KX927;
    image.units[1].SLAVE_CJC = -1;
    image.units[2].SLAVE_TYPE = 2;   // in no record the program makes; written as an empty position
    image.units[3].SLAVE_TYPE = 7;
    SetFieldText(image.units[0].channels[10].tag, "\xB0\xE0");
    image.units[0].channels[10].word = 0xabcd;
    const std::string text = FormatConfiguration(image);
    for (const std::string expected : {
             "\r\n\r\n// Configuration of Unit 1 - type: KX913\r\n SLAVE_TYPE 0x00 0x0001\r\n"
             " SLAVE_EXP  0x00 0x0003\r\n SLAVE_CJC  0x00 0xFE70\r\n",
             "// Configuration of Unit 2 - type: KX927\r\n SLAVE_TYPE 0x01 0x0003\r\n",
             " SLAVE_CJC  0x01 0xFFFF\r\n",
             "// Configuration of Unit 3 - type: Not installed\r\n SLAVE_TYPE 0x02 0x0000\r\n",
             "// Configuration of Unit 4 - type: Not installed\r\n SLAVE_TYPE 0x03 0x0000\r\n",
             "  CHANNEL 0x00 0x0A \"\xB0\xE0              \" 0xABCD\r\n",
         })
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    SystemConfiguration back{};
    EXPECT_TRUE(Parse(text, back).ok());
}

// Inputs that are no configuration file end the read at once with the read error, before any
// statement is applied; a pipe is read like a file.
TEST(ConfigurationFile, InputsThatAreNoStatementFileAreRefusedAtOnce)
{
    const std::string statement = " MASTER_FREQ 0x0001\r\n";
    const std::string filler = "//" + std::string(97, '-') + "\r\n";  // 101 bytes of comment
    auto sized = [&](std::size_t size) {
        std::string bytes = statement;
        while (bytes.size() + filler.size() <= size) bytes += filler;
        return bytes + std::string(size - bytes.size(), '\n');
    };
    TempDir dir;
    const struct {
        const char* name;
        std::function<std::string(const fs::path& dir)> make;  // the path to read
        ReadFault::Kind fault;
    } rows[] = {
        {"a NUL byte behind good statements", [&](auto& d) { return WriteFile(d / "a.mcf", statement + std::string(1, '\0') + statement); },
         ReadFault::Read},
        {"as large as a file may be", [&](auto& d) { return WriteFile(d / "c.mcf", sized(STATEMENT_FILE_LIMIT)); }, ReadFault::None},
        {"one byte larger", [&](auto& d) { return WriteFile(d / "d.mcf", sized(STATEMENT_FILE_LIMIT + 1)); }, ReadFault::Read},
        {"a folder", [](auto& d) { return d.string(); }, ReadFault::Read},
        {"a device of endless zeros",
         [](auto& d) {
             const fs::path zero = d / "zero";
             return ::mknod(zero.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0 ? zero.string() : std::string();
         },
         ReadFault::Read},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = row.make(dir.path());
        if (path.empty()) {
            ADD_FAILURE() << "cannot make the device node: " << std::strerror(errno);
            continue;
        }
        SystemConfiguration image{};
        EXPECT_EQ(ParseConfigurationFile(path, image).kind, row.fault);
        EXPECT_EQ(image.MASTER_FREQ, row.fault == ReadFault::None ? 1u : 0u) << "applied before the refusal";
    }
}

} // namespace
} // namespace tarn
