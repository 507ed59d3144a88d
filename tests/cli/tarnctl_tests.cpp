// tarnctl run as a process: exit codes, the exact lines on stdout and stderr,
// and the files it writes.
#include "config/config_file.h"
#include "config/default_config.h"
#include "serial/pty_pair.h"
#include "support/comma_locale.h"
#include "support/process.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::ToolResult;

class Tarnctl : public ::testing::Test {
protected:
    ToolResult Run(const std::vector<std::string>& args) { return testing::RunTool(scratch.path(), TARNCTL_PATH, args); }
    std::string File(const std::string& name, const std::string& text) { return testing::WriteFile(dir.file(name), text); }

    static std::size_t Count(const std::string& text, const std::string& what)
    {
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
        return n;
    }

    // The text a PDF reader extracts from the file at path.
    std::string PdfText(const std::string& path) { return testing::RunTool(scratch.path(), PDFTOTEXT_PATH, {path, "-"}).out; }

    CoreFixture core; // English texts and a fresh state for the expectations built here
    TempDir dir;
    TempDir scratch;
};

const char kGood[] =
    "// a small plant\r\n"
    " MASTER_TAG        \"Boiler house\"\r\n"
    " SLAVE_TYPE 0x00 0x0001\r\n"
    "  CHANNEL 0x00 0x05 \"TI-105\" 0x0087\r\n";

// The C library follows the user's locale inside a Qt application; the report does not.
TEST_F(Tarnctl, DiffWritesADecimalPointUnderADecimalCommaLocale)
{
    const auto comma = testing::MakeCommaLocale();
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made (localedef and Debian's locales package)";
    const auto a = File("a.mcf", std::string(kGood) + " SLAVE_CJC 0x00 0x00FF\r\n");
    const auto b = File("b.mcf", std::string(kGood) + " SLAVE_CJC 0x00 0xFE70\r\n");
    ::setenv("LOCPATH", comma->path.c_str(), 1);
    ::setenv("LC_ALL", comma->name.c_str(), 1);
    const auto diff = Run({"diff", a, b});
    ::unsetenv("LC_ALL");
    ::unsetenv("LOCPATH");
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    EXPECT_NE(diff.out.find("\tError\t<25.5>\t<-40.0>\n"), std::string::npos) << diff.out.substr(0, 1200);
}

TEST_F(Tarnctl, CheckNamesFileLineTextCodeAndStatement)
{
    struct Case {
        const char* statement;
        int code;
        const char* text;
    } cases[] = {
        {"MASTER_FREQ 0x0000 0x0001", 1, "Too may fields"},
        {"MASTER_LINE 0x0001", 3, "Incorrect parameter name"},
        {"MASTER_FREQ 12", 5, "One or more field with wrong format"},
        {"slave_type 0x00 0x0002", 9, "Incorrect Slave type"},
        {"CHANNEL 0x00 0x40 \"T\" 0x0000", 12, "Incorrect Channel number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.statement);
        const auto path = File("bad.mcf", std::string("// line one\r\n   ") + c.statement + "\r\n MASTER_FREQ 0x0001\r\n");
        const auto result = Run({"check", path});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, path + ":2: " + c.text + " (code " + std::to_string(c.code) + ")\n    " + c.statement +
                                  "\n");
    }
}

TEST_F(Tarnctl, CheckSaysNothingOfGoodFilesAndGoesOnAfterAFaultyOne)
{
    const auto good = File("good.mcf", kGood);
    const auto fine = Run({"check", good, good});
    EXPECT_EQ(fine.exitCode, 0);
    EXPECT_EQ(fine.out + fine.err, "");

    const auto bad = File("bad.mcf", "MASTER_TAG \"Boiler house\"\nMASTER_TAG \"seventeen chars!!\"\n");
    const auto missing = dir.file("missing.mcf");
    const auto result = Run({"check", bad, good, missing, dir.path().string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, bad + ":2: One or more field with wrong format (code 5)\n"
                                "    MASTER_TAG \"seventeen chars!!\"\n" +
                              missing + ": Error opening the configuration file\n" + dir.path().string() +
                              ": Error reading the configuration file\n");
}

TEST_F(Tarnctl, DiffExitCodesAndReport)
{
    const auto a = File("a.mcf", kGood);
    const auto b = File("b.mcf", std::string(kGood) + " master_freq 0x0001\r\n SLAVE_TYPE 0x02 0x0003\r\n");

    auto same = Run({"diff", a, a});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.err, "");
    EXPECT_EQ(same.out.rfind("Actual Configuration\t\t\tDisk Configuration\n"
                             "Master\n"
                             "  Tag of Master\tOk\t<Boiler house>\t<Boiler house>\n"
                             "  Slave connection\tOk\t<Use Line # 1>\t<Use Line # 1>\n",
                             0),
              0u)
        << same.out.substr(0, 300);
    EXPECT_EQ(same.out.find('\r'), std::string::npos);
    EXPECT_EQ(Count(same.out, "\tError\t"), 0u);
    EXPECT_NE(same.out.find("  Ch 6 - Configuration\tOk\t<Thermocouple type K - Burnout Upscale - Auto Cold Junction - "
                            "No Filter>\t<Thermocouple type K - Burnout Upscale - Auto Cold Junction - No Filter>\n"),
              std::string::npos);

    auto differ = Run({"diff", a, b});
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_EQ(differ.err, "");
    EXPECT_EQ(Count(differ.out, "\tError\t"), 2u);
    EXPECT_NE(differ.out.find("\n  Line frequency\tError\t<50 Hz>\t<60 Hz>\n"), std::string::npos);
    EXPECT_NE(differ.out.find("\nSlave 3\n  Type of Slave\tError\t<No Unit>\t<KX927>\n"), std::string::npos);

    const auto missing = dir.file("missing.mcf");
    auto unreadable = Run({"diff", a, missing});
    EXPECT_EQ(unreadable.exitCode, 2);
    EXPECT_EQ(unreadable.out, "");
    EXPECT_EQ(unreadable.err, missing + ": Error opening the configuration file\n");

    const auto bad = File("bad.mcf", " SLAVE_EXP 0x00 0x0004\r\n");
    auto faulty = Run({"diff", bad, a});
    EXPECT_EQ(faulty.exitCode, 2);
    EXPECT_EQ(faulty.out, "");
    EXPECT_EQ(faulty.err, bad + ":1: Incorrect number of Expansions (code 10)\n    SLAVE_EXP 0x00 0x0004\n");
}

TEST_F(Tarnctl, NormalizeWritesTheStandardLayout)
{
    const auto in = File("hand.mcf",
                         "// written by hand\n"
                         "master_tag    \"Boiler house\"   \n"
                         "   Organization \"Tarn Process Ltd\"\n"
                         "\n"
                         "master_cable 0X2\n"
                         "Master_Mod_Baud     0x3\n"
                         "slave_type 0x0 0x1\r\n"
                         "slave_exp 0x00 0x01\n"
                         "slave_cjc 0x0 0xff06\n"
                         "channel 0x0 0x5 \"TI-105\" 0x87\n"
                         "channel   0x00  0x10   \"TI-117    \"   0x1883\n");
    const auto out = dir.file("out.mcf");
    const auto result = Run({"normalize", in, "-o", out});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    const std::string written = ReadFile(out);
    // What the file says over the built-in default, in the writer's layout.
    SystemConfiguration expected;
    BuildDefaultConfiguration(expected);
    SetFieldText(expected.MASTER_TAG, "Boiler house");
    SetFieldText(expected.ORGANIZATION, "Tarn Process Ltd");
    expected.MASTER_CABLE = 2;
    expected.MASTER_MOD_BAUD = 3;
    expected.units[0].SLAVE_TYPE = UNIT_KX913;
    expected.units[0].SLAVE_EXP = 1;
    expected.units[0].SLAVE_CJC = -250;
    SetFieldText(expected.units[0].channels[5].tag, "TI-105");
    expected.units[0].channels[5].word = 0x87;
    SetFieldText(expected.units[0].channels[16].tag, "TI-117");
    expected.units[0].channels[16].word = 0x1883;
    EXPECT_EQ(written, FormatConfiguration(expected));

    // The layout is a fixed point, and "-o -" gives the same bytes on stdout.
    const auto again = Run({"normalize", out, "-o", "-"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, written);
}

TEST_F(Tarnctl, NormalizeNeverLeavesAPartialOrWrongFile)
{
    const auto out = File("out.mcf", "previous contents\r\n");
    const auto bad = File("bad.mcf", " MASTER_FREQ 0x0001\r\n MASTER_FREQ 0x0002\r\n");
    auto faulty = Run({"normalize", bad, "-o", out});
    EXPECT_EQ(faulty.exitCode, 1);
    EXPECT_EQ(faulty.err, bad + ":2: Incorrect parameter value (code 4)\n    MASTER_FREQ 0x0002\n");
    EXPECT_EQ(ReadFile(out), "previous contents\r\n");

    const auto good = File("good.mcf", kGood);
    const auto nowhere = dir.file("no-such-folder/out.mcf");
    auto unwritable = Run({"normalize", good, "-o", nowhere});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err, nowhere + ": Error opening the configuration file\n");
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

TEST_F(Tarnctl, DefaultIsTheBuiltInConfiguration)
{
    SystemConfiguration image;
    BuildDefaultConfiguration(image);
    const std::string expected = FormatConfiguration(image);

    const auto out = dir.file("default.mcf");
    auto toFile = Run({"default", "-o", out});
    EXPECT_EQ(toFile.exitCode, 0);
    EXPECT_EQ(toFile.out, "");
    EXPECT_EQ(ReadFile(out), expected);

    auto toStdout = Run({"--lang", "it", "default", "-o", "-"});
    EXPECT_EQ(toStdout.exitCode, 0);
    EXPECT_EQ(toStdout.out, expected);
}

TEST_F(Tarnctl, ItalianMessages)
{
    const auto missing = dir.file("missing.mcf");
    const auto bad = File("bad.mcf", "SLAVE_TYPE 0x00 0x0002\r\n");
    auto check = Run({"--lang", "it", "check", missing, bad});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.err, missing + ": Errore di apertura del file di configurazione\n" + bad +
                             ":1: Tipo di Unit\xC3\xA0 errato (code 9)\n    SLAVE_TYPE 0x00 0x0002\n");

    const auto a = File("a.mcf", kGood);
    const auto b = File("b.mcf", "MASTER_MOD_CONFIG 0x0001\r\n");
    auto diff = Run({"diff", "--lang=it", a, b});
    EXPECT_EQ(diff.exitCode, 1);
    EXPECT_EQ(diff.out.rfind("Configurazione Corrente\t\t\tConfigurazione del File\nMaster\n"
                             "  Tag del Master\tErrore\t<Boiler house>\t<Tag 0.0>\n",
                             0),
              0u);
    EXPECT_NE(diff.out.find("\n  Modifica da Modbus\tErrore\t<No>\t<Si>\n"), std::string::npos);
    EXPECT_NE(diff.out.find("\n  Tipo di Slave\tErrore\t<KX913>\t<Nessuna unit\xC3\xA0>\n"), std::string::npos);
}

TEST_F(Tarnctl, PrintMakesTheDocumentInEitherLanguage)
{
    const auto file = File("plant.mcf", kGood);  // one KX913: the system page and its page
    const auto english = Run({"print", file, "-o", dir.file("plant.pdf")});
    EXPECT_EQ(english.exitCode, 0);
    EXPECT_EQ(english.out + english.err, "");
    const auto italian = Run({"--lang", "it", "print", file, "-o", "-"});
    EXPECT_EQ(italian.exitCode, 0);
    const std::string text = PdfText(dir.file("plant.pdf")) + PdfText(testing::WriteFile(dir.file("it.pdf"), italian.out));
    for (const char* words : {"Configuration of KX900 Multiplexer System", "Boiler house", "TI-105", "Page 2 of 2",
                              "Configurazione Unit\xC3\xA0 1", "Pagina 2 di 2"})
        EXPECT_NE(text.find(words), std::string::npos) << words;
}

TEST_F(Tarnctl, PrintLeavesNothingBehindOnFailure)
{
    const auto previous = File("out.pdf", "previous");
    const auto bad = File("bad.mcf", " MASTER_FREQ 0x0002\r\n");
    const auto faulty = Run({"print", bad, "-o", previous});
    EXPECT_EQ(faulty.exitCode, 1);
    EXPECT_EQ(faulty.err, bad + ":1: Incorrect parameter value (code 4)\n    MASTER_FREQ 0x0002\n");
    EXPECT_EQ(ReadFile(previous), "previous");

    const auto nowhere = dir.file("no-such-folder/out.pdf");
    const auto unwritable = Run({"print", File("good.mcf", kGood), "-o", nowhere});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.err, nowhere + ": Output Device not suitable for printing: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
}

TEST_F(Tarnctl, UsageErrors)
{
    const auto good = File("good.mcf", kGood);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"check"},
        {"check", good, "--bogus"},
        {"--lang", "fr", "check", good},
        {"--lang"},
        {"diff", good},
        {"diff", good, good, good},
        {"normalize", good},
        {"normalize", good, "-o"},
        {"default"},
        {"default", "-o", "x", "-o", "y"},
        {"check", good, "-o", "x"},
        {"check", good, "--port", "/dev/null"},
        {"read", "-o", "x"},
        {"write", "--port", "COM0", good},
        {"compare", "--port", "999", good},
        {"ports", "extra"},
        {"print", good},
        {"print", good, good, "-o", "x.pdf"},
        {"--yes=1", "check", good},
        {"status"},
        {"status", "--port", "/dev/null", "--cycles", "2"},
        {"poll"},
        {"poll", "--port", "/dev/null"},
        {"poll", "--modbus", "/dev/null", "--cycles", "0"},
        {"poll", "--modbus", "/dev/null", "--cycles", "2x"},
        {"poll", "--modbus", "COM0"},
        {"poll", "--modbus", "/dev/null", "--config", ""},
        {"read", "--port", "/dev/null", "-o", "x", "--config", good},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        SCOPED_TRACE(joined);
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("tarnctl: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("\nusage: tarnctl "), std::string::npos);
    }
}

TEST_F(Tarnctl, HelpAndVersion)
{
    auto help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("usage: tarnctl ", 0), 0u);
    for (const char* sub : {"check", "diff", "normalize", "default", "read", "write", "compare", "ports", "status", "poll"})
        EXPECT_NE(help.out.find(std::string("tarnctl ") + sub + " "), std::string::npos) << sub;
    EXPECT_EQ(help.err, "");

    auto version = Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tarnctl " TARN_VERSION "\n");
}

TEST_F(Tarnctl, GatewayFailuresExitThreeAndWriteNoFile)
{
    const auto good = File("good.mcf", kGood);
    const auto out = File("read.mcf", "previous contents\r\n");
    const auto absent = dir.file("no-such-tty");

    // A port that cannot be opened: the text and the system's reason.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"read", "--port", absent, "-o", out}, {"write", "--port", absent, good}, {"compare", "--port", absent, good}}) {
        SCOPED_TRACE(args[0]);
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("Unavailable Port: ", 0), 0u) << result.err;
        EXPECT_GT(result.err.size(), std::string("Unavailable Port: \n").size());
    }
    auto italian = Run({"--lang", "it", "compare", "--port", absent, good});
    EXPECT_EQ(italian.exitCode, 3);
    EXPECT_EQ(italian.err.rfind("Impossibile accedere: ", 0), 0u) << italian.err;

    testing::PtyPair gateway;  // nobody answers on the far end
    ASSERT_TRUE(gateway.Ok());
    const std::string port = gateway.SlavePath();
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"read", "--port", port, "-o", out}, {"write", "--port", port, good}, {"compare", "--port", port, good}}) {
        SCOPED_TRACE(args[0]);
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "Communication error with KX940\n");
    }
    EXPECT_EQ(ReadFile(out), "previous contents\r\n");
}

TEST_F(Tarnctl, StatusAndPollFailuresExitThree)
{
    const auto absent = dir.file("no-such-tty");
    for (const auto& args : std::vector<std::vector<std::string>>{{"status", "--port", absent},
                                                                   {"poll", "--modbus", absent, "--cycles", "1"}}) {
        SCOPED_TRACE(args[0]);
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("Unavailable Port: ", 0), 0u) << result.err;
    }

    testing::PtyPair gateway;  // nobody answers on the far end
    ASSERT_TRUE(gateway.Ok());
    const auto status = Run({"status", "--port", gateway.SlavePath()});
    EXPECT_EQ(status.exitCode, 3);
    EXPECT_EQ(status.out, "");
    EXPECT_EQ(status.err, "Communication error with KX940\n");
    const auto poll = Run({"--lang", "it", "poll", "--modbus", gateway.SlavePath()});
    EXPECT_EQ(poll.exitCode, 3);
    EXPECT_EQ(poll.out, "");
    EXPECT_EQ(poll.err, "Impossibile comunicare con il KX940!\n");
}

TEST_F(Tarnctl, GatewaySubcommandsCheckTheirFileFirst)
{
    const auto bad = File("bad.mcf", "MASTER_CABLE 0x0004\r\n");
    for (const auto& args : std::vector<std::vector<std::string>>{{"write", "--port", dir.file("no-such-tty"), bad},
                                                                   {"compare", "--port", dir.file("no-such-tty"), bad},
                                                                   {"poll", "--modbus", dir.file("no-such-tty"), "--config", bad}}) {
        SCOPED_TRACE(args[0]);
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 2) << "1 would read as: the gateway differs";
        EXPECT_EQ(result.err, bad + ":1: Incorrect parameter value (code 4)\n    MASTER_CABLE 0x0004\n");
    }
}

} // namespace
} // namespace tarn
