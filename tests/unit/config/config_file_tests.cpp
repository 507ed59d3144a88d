#include "config/config_file.h"

#include "config/app_state.h"
#include "config/default_config.h"
#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::CoreFixture;
using testing::FullInstallation;
using testing::ReadFile;
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
        {"MASTER_TAG \"Plant\" x", 1},
        {"MASTER_TAG Plant", 5},
        {"MASTER_TAG " + q + std::string(16, 'x') + q, 0},
        {"MASTER_TAG " + q + std::string(17, 'x') + q, 5},
        {"DOCUMENT \"\"", 0},
        {"DOCUMENT", 5},                           // an absent text is a format fault
        {"OPERATOR_2 \"a\" \"b\"", 1},
        {"MASTER_CABLE 0x0003", 0},
        {"MASTER_CABLE 0x0004", 4},
        {"MASTER_CABLE", 2},
        {"MASTER_CABLE 3", 5},
        {"MASTER_CABLE 0x1 0x2", 1},
        {"MASTER_FREQ 0x2", 4},
        {"MASTER_REPT 0x4", 0},
        {"MASTER_REPT 0x5", 4},
        {"MASTER_MOD_ADDR 0x0000", 4},
        {"MASTER_MOD_ADDR 0x00FB", 4},
        {"MASTER_MOD_ADDR 0x00FA", 0},
        {"MASTER_MOD_BAUD 0x6", 4},
        {"MASTER_MOD_FORM 0x4", 4},
        {"MASTER_MOD_CONFIG 0x2", 4},
        {"MASTER_REPT_MAT 0x03 0x0003", 0},
        {"MASTER_REPT_MAT 0x04 0x0000", 6},
        {"MASTER_REPT_MAT 0x00 0x0004", 7},
        {"MASTER_REPT_MAT 0x00", 2},
        {"MASTER_REPT_MAT 0x00 1", 5},
        {"MASTER_REPT_MAT 0x00 0x01 0x02", 1},
        {"SLAVE_TYPE 0x00 0x0002", 9},
        {"SLAVE_TYPE 0x04 0x0002", 8},            // the unit is checked before the type
        {"SLAVE_TYPE 0x03 0x0003", 0},
        {"SLAVE_TYPE 0x03", 2},
        {"SLAVE_EXP 0x01 0x0004", 10},
        {"SLAVE_EXP 0x09 0x0004", 8},
        {"SLAVE_CJC 0x00 0xFE70", 0},
        {"SLAVE_CJC 0x00 0xFE6F", 11},
        {"SLAVE_CJC 0x00 0x03E8", 0},
        {"SLAVE_CJC 0x00 0x03E9", 11},
        {"SLAVE_CJC 0x00 0x80000000", 5},
        {"CHANNEL 0x00 0x05 \"T\" 0x0007", 0},
        {"CHANNEL 0x00 0x05 \"T\"", 2},
        {"CHANNEL 0x00 0x05 \"T\" 0x0007 0x1", 1},
        {"CHANNEL 0x04 0x40 \"T\" 0x10000", 8},     // unit before channel before word
        {"CHANNEL 0x00 0x40 \"T\" 0x10000", 12},
        {"CHANNEL 0x00 0x3F \"T\" 0x10000", 4},
        {"CHANNEL 0x00 0x3F \"" + std::string(17, 'x') + "\" 0x1", 5},
        {"CHANNEL 9 0x40 \"T\" 0x1", 5},            // format before range
        {"CHANNEL 0x00 0x00 \"A B C\"// note\" 0x1", 2},
        {"UNKNOWN 0x1", 3},
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

TEST(ConfigurationStatements, StoredValues)
{
    SystemConfiguration image{};
    const ConfigReadFault fault = Parse("slave_cjc 0x02 0xFE70\n"
                                        "SLAVE_CJC 0x01 0x03E8\n"
                                        "MASTER_MOD_ADDR 0X0c\n"
                                        "MASTER_REPT_MAT 0x02 0x0001\n"
                                        "MASTER_TAG \"Plant   \"\n"
                                        "ADDRESS_3 \" Via Roma 1 \"\n"
                                        "CHANNEL 0x03 0x3F \"\xB0" "C \xE0 \" 0xFFFF\n",
                                        image);
    ASSERT_TRUE(fault.ok());
    EXPECT_EQ(image.units[2].SLAVE_CJC, -400);
    EXPECT_EQ(image.units[1].SLAVE_CJC, 1000);
    EXPECT_EQ(image.MASTER_MOD_ADDR, 12u);
    EXPECT_EQ(image.MASTER_REPT_MAT[2], 1u);
    EXPECT_EQ(FieldText(image.MASTER_TAG), "Plant");
    EXPECT_EQ(FieldText(image.ADDRESS[2]), " Via Roma 1 ");  // texts keep their blanks
    EXPECT_EQ(FieldText(image.units[3].channels[63].tag), "\xB0" "C \xE0");
    EXPECT_EQ(image.units[3].channels[63].word, 0xFFFFu);
}

TEST(ConfigurationStatements, AChannelStatementChangesOnlyItsChannel)
{
    SystemConfiguration before{};
    BuildDefaultConfiguration(before);
    before.units[0].channels[5].live_value = 99;
    SystemConfiguration image = before;
    ASSERT_TRUE(Parse("CHANNEL 0x00 0x05 \"T\" 0x0007\r\n", image).ok());
    EXPECT_EQ(FieldText(image.units[0].channels[5].tag), "T");
    EXPECT_EQ(image.units[0].channels[5].word, 7u);
    std::memcpy(image.units[0].channels[5].tag, before.units[0].channels[5].tag, TAG_CAPACITY);
    image.units[0].channels[5].word = before.units[0].channels[5].word;
    EXPECT_TRUE(SameBytes(image, before));
}

TEST(ConfigurationStatements, AFaultStopsTheReadAndKeepsWhatCameBefore)
{
    SystemConfiguration image{};
    BuildDefaultConfiguration(image);
    const ConfigReadFault fault = Parse("// header\r\n"
                                        "\r\n"
                                        "MASTER_FREQ 0x0001\r\n"
                                        "  \r\n"
                                        "SLAVE_TYPE 0x00 0x0002\t// wrong\r\n"
                                        "MASTER_CABLE 0x0002\r\n",
                                        image);
    EXPECT_EQ(fault.kind, ConfigReadFault::Statement);
    EXPECT_EQ(fault.line, 5);
    EXPECT_EQ(fault.code, 9);
    EXPECT_EQ(fault.statement, "SLAVE_TYPE 0x00 0x0002");
    EXPECT_EQ(image.MASTER_FREQ, 1u);
    EXPECT_EQ(image.MASTER_CABLE, 0u);
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

TEST(ConfigurationFile, ADocumentTextLongerThan278CharactersDoesNotReadBack)
{
    for (std::size_t length : {278u, 279u, 300u}) {
        SystemConfiguration source{};
        BuildDefaultConfiguration(source);
        SetFieldText(source.DOCUMENT, std::string(length, 'd'));
        SystemConfiguration back{};
        const ConfigReadFault fault = Parse(FormatConfiguration(source), back);
        if (length == 278) {
            EXPECT_TRUE(fault.ok());
            EXPECT_EQ(FieldText(back.DOCUMENT), std::string(278, 'd'));
        } else {
            EXPECT_EQ(fault.code, 5) << length;
            EXPECT_EQ(fault.line, 11) << length;
            EXPECT_EQ(fault.statement.size(), 299u);
        }
    }
}

// The default file as it must appear byte for byte, built here from its layout.
std::string ExpectedDefaultFile()
{
    std::string text = "//Configuration of Multiplexer\r\n\r\n"
                       "// Configuration of Master\r\n\r\n"
                       " MASTER_TAG        \"Tag 0.0\"\r\n"
                       " ORGANIZATION      \"\"\r\n"
                       " ADDRESS_1         \"\"\r\n"
                       " ADDRESS_2         \"\"\r\n"
                       " ADDRESS_3         \"\"\r\n"
                       " ADDRESS_4         \"\"\r\n"
                       " DOCUMENT          \"\"\r\n"
                       " OPERATOR_1        \"\"\r\n"
                       " OPERATOR_2        \"\"\r\n"
                       " MASTER_CABLE      0x0000\r\n"
                       " MASTER_FREQ       0x0000\r\n"
                       " MASTER_REPT       0x0000\r\n"
                       " MASTER_REPT_MAT   0x00 0x0000\r\n"
                       " MASTER_REPT_MAT   0x01 0x0001\r\n"
                       " MASTER_REPT_MAT   0x02 0x0002\r\n"
                       " MASTER_REPT_MAT   0x03 0x0003\r\n"
                       " MASTER_MOD_ADDR   0x0001\r\n"
                       " MASTER_MOD_BAUD   0x0001\r\n"
                       " MASTER_MOD_FORM   0x0000\r\n"
                       " MASTER_MOD_CONFIG 0x0000\r\n";
    for (int u = 0; u < 4; ++u) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "\r\n// Configuration of Unit %d - type: Not installed\r\n"
                      " SLAVE_TYPE 0x%02X 0x0000\r\n SLAVE_EXP  0x%02X 0x0000\r\n SLAVE_CJC  0x%02X 0x0000\r\n",
                      u + 1, u, u, u);
        text += line;
        for (int c = 0; c < 64; ++c) {
            char tag[32];
            std::snprintf(tag, sizeof tag, "Tag %d.%02d", u + 1, c + 1);
            std::snprintf(line, sizeof line, "  CHANNEL 0x%02X 0x%02X \"%-16s\" 0x0000\r\n", u, c, tag);
            text += line;
        }
    }
    return text;
}

TEST(ConfigurationFile, TheDefaultIsWrittenByteForByte)
{
    CoreFixture f;
    SystemConfiguration image{};
    BuildDefaultConfiguration(image);
    EXPECT_EQ(FormatConfiguration(image), ExpectedDefaultFile());
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
    SetLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(FormatConfiguration(image), text);  // headings stay English
    SetLanguage(LANGUAGE_ENGLISH);
    SystemConfiguration back{};
    EXPECT_TRUE(Parse(text, back).ok());
}

TEST(ConfigurationFile, LineFeedsAloneAndLongLinesInPieces)
{
    SystemConfiguration image{};
    // A comment of 301 characters: what lies behind its first 299 is a statement line of its own.
    const std::string longComment = "//" + std::string(297, 'c') + " x";
    const ConfigReadFault fault = Parse("MASTER_FREQ 0x1\n" + longComment + "\nMASTER_CABLE 0x1\n", image);
    EXPECT_EQ(image.MASTER_FREQ, 1u);
    EXPECT_EQ(fault.line, 3);
    EXPECT_EQ(fault.code, 3);
    EXPECT_EQ(fault.statement, " x");
}

TEST(ConfigurationFile, ReaderMessagesNameTheFile)
{
    CoreFixture f;
    TempDir dir;
    const std::string missing = dir.file("none.mcf");
    EXPECT_EQ(ReadConfigurationFile(f.state, missing), 0);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error).back(), "Error opening the configuration file: " + missing);

    fs::create_directory(dir.path() / "folder.mcf");
    EXPECT_EQ(ReadConfigurationFile(f.state, dir.file("folder.mcf"), "shown.mcf"), 0);
    const std::string text = f.ui.texts(MessageIcon::Error).back();
    EXPECT_TRUE(text == "Error reading the configuration file: shown.mcf"
                || text == "Error opening the configuration file: shown.mcf") << text;

    const std::string faulty = dir.file("faulty.mcf");
    testing::WriteFile(faulty, "MASTER_FREQ 0x1\r\nSLAVE_TYPE 0x04 0x0001\r\n");
    BuildDefaultConfiguration(f.state.disk);
    EXPECT_EQ(ReadConfigurationFile(f.state, faulty), 0);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error).back(),
              "File name :\t" + faulty + "\nError at line:\t2\nStatement:\tSLAVE_TYPE 0x04 0x0001\n\n"
              "Error type:\tIncorrect Slave number\n\n");
    EXPECT_EQ(f.state.disk.MASTER_FREQ, 1u);
    EXPECT_EQ(f.ui.messages.size(), 3u);
}

TEST(ConfigurationFile, WriterWritesTheDiskImageAndKeepsTheOldFileOnFailure)
{
    CoreFixture f;
    TempDir dir;
    const std::string path = dir.file("plant.mcf");
    f.state.disk = FullInstallation();
    ASSERT_EQ(WriteConfigurationFile(f.state, path), 1);
    EXPECT_TRUE(f.ui.messages.empty());
    const std::string written = ReadFile(path);
    EXPECT_EQ(written, FormatConfiguration(f.state.disk));

    BuildDefaultConfiguration(f.state.disk);
    int chunks = 0;
    f.state.saving.injector = [&](SaveStep step) { return step == SaveStep::Write && ++chunks == 3; };
    EXPECT_EQ(WriteConfigurationFile(f.state, path), 0);
    f.state.saving.injector = {};
    EXPECT_EQ(f.ui.texts(MessageIcon::Error), std::vector<std::string>{"Error writing to the configuration file: " + path});
    EXPECT_EQ(ReadFile(path), written);

    EXPECT_EQ(WriteConfigurationFile(f.state, dir.file("no/such/folder.mcf")), 0);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error).back(),
              "Error opening the configuration file: " + dir.file("no/such/folder.mcf"));
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

    // A pipe reached by name, as a shell's "<(...)" gives it; the bytes fit in its buffer.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    EXPECT_EQ(::write(fds[1], statement.data(), statement.size()), static_cast<ssize_t>(statement.size()));
    ::close(fds[1]);
    SystemConfiguration image{};
    EXPECT_TRUE(ParseConfigurationFile("/dev/fd/" + std::to_string(fds[0]), image).ok());
    EXPECT_EQ(image.MASTER_FREQ, 1u);
    ::close(fds[0]);
}

} // namespace
} // namespace tarn
