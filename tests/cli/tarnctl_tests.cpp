// tarnctl run as a process: exit codes, the exact lines on stdout and stderr,
// and the files it writes.
#include "config/config_file.h"
#include "config/default_config.h"
#include "serial/pty_pair.h"
#include "support/comma_locale.h"
#include "support/process.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <cstring>

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

    // A run that wrote nothing on stdout: its exit code and its whole stderr.
    static void ExpectFailure(const ToolResult& r, int code, const std::string& err)
    {
        EXPECT_EQ(r.exitCode, code) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, err);
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

TEST_F(Tarnctl, CheckSaysNothingOfGoodFilesAndGoesOnAfterAFaultyOne)
{
    const auto good = File("good.mcf", kGood);
    const auto fine = Run({"check", good, good});
    EXPECT_EQ(fine.exitCode, 0);
    EXPECT_EQ(fine.out + fine.err, "");

    // The statement's own indentation gives way to the message's.
    const auto bad = File("bad.mcf", "MASTER_TAG \"Boiler house\"\n   MASTER_TAG \"seventeen chars!!\"\n");
    const auto missing = dir.file("missing.mcf");
    ExpectFailure(Run({"check", bad, good, missing, dir.path().string()}), 1,
                  bad + ":2: One or more field with wrong format (code 5)\n    MASTER_TAG \"seventeen chars!!\"\n" +
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
    // The comparison's report with LF line ends on stdout; its items are the comparison tests'.
    EXPECT_EQ(same.out.rfind("Actual Configuration\t\t\tDisk Configuration\nMaster\n"
                             "  Tag of Master\tOk\t<Boiler house>\t<Boiler house>\n", 0), 0u)
        << same.out.substr(0, 300);
    EXPECT_EQ(same.out.find('\r'), std::string::npos);
    EXPECT_EQ(Count(same.out, "\tError\t"), 0u);

    auto differ = Run({"diff", a, b});
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_EQ(differ.err, "");
    EXPECT_EQ(Count(differ.out, "\tError\t"), 2u);
    EXPECT_NE(differ.out.find("\nSlave 3\n  Type of Slave\tError\t<No Unit>\t<KX927>\n"), std::string::npos);

    const auto missing = dir.file("missing.mcf");
    ExpectFailure(Run({"diff", a, missing}), 2, missing + ": Error opening the configuration file\n");
    const auto bad = File("bad.mcf", " SLAVE_EXP 0x00 0x0004\r\n");
    ExpectFailure(Run({"diff", bad, a}), 2, bad + ":1: Incorrect number of Expansions (code 10)\n    SLAVE_EXP 0x00 0x0004\n");
}

TEST_F(Tarnctl, NormalizeWritesTheStandardLayout)
{
    // What the reader accepts is the configuration file tests'; here, a hand-written file.
    const auto in = File("hand.mcf", "// written by hand\nmaster_tag    \"Boiler house\"   \n\n"
                                      "  channel 0x0 0x10 \"TI-117    \" 0x1883\r\n");
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
    SetFieldText(expected.units[0].channels[16].tag, "TI-117");
    expected.units[0].channels[16].word = 0x1883;
    EXPECT_EQ(written, FormatConfiguration(expected));

    // The layout is a fixed point, and "-o -" gives the same bytes on stdout.
    const auto again = Run({"normalize", out, "-o", "-"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out, written);
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
    ExpectFailure(Run({"--lang", "it", "check", missing, bad}), 1,
                  missing + ": Errore di apertura del file di configurazione\n" + bad +
                      ":1: Tipo di Unit\xC3\xA0 errato (code 9)\n    SLAVE_TYPE 0x00 0x0002\n");

    // The report's wording is the comparison's; here, that the option also works behind the subcommand.
    auto diff = Run({"diff", "--lang=it", File("a.mcf", kGood), File("b.mcf", "MASTER_TAG \"Boiler house\"\r\n")});
    EXPECT_EQ(diff.exitCode, 1);
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

// A fault after good statements leaves the previous output as it was, no part written; an output
// in a folder that is not there leaves nothing, not even the folder.
TEST_F(Tarnctl, NormalizeAndPrintLeaveNothingBehindOnFailure)
{
    const auto bad = File("bad.mcf", " MASTER_FREQ 0x0001\r\n MASTER_FREQ 0x0002\r\n");
    const auto fault = bad + ":2: Incorrect parameter value (code 4)\n    MASTER_FREQ 0x0002\n";
    const std::pair<const char*, std::string> cases[] = {
        {"normalize", ": Error opening the configuration file\n"},
        {"print", ": Output Device not suitable for printing: No such file or directory\n"},
    };
    for (const auto& [command, unwritable] : cases) {
        SCOPED_TRACE(command);
        const auto previous = File("out", "previous");
        ExpectFailure(Run({command, bad, "-o", previous}), 1, fault);
        EXPECT_EQ(ReadFile(previous), "previous");
        const auto nowhere = dir.file("no-such-folder/out");
        ExpectFailure(Run({command, File("good.mcf", kGood), "-o", nowhere}), 1, nowhere + unwritable);
        EXPECT_FALSE(std::filesystem::exists(dir.file("no-such-folder")));
    }
}

TEST_F(Tarnctl, UsageErrors)
{
    const auto good = File("good.mcf", kGood);
    const auto port = dir.file("no-port");  // never opened: the line is refused first
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"check"},
        {"check", good, "--bogus"},
        {"--lang", "fr", "check", good},
        {"--lang"},
        {"diff", good},
        {"normalize", good},
        {"default", "-o", "x", "-o", "y"},
        {"default", "-o", ""},
        {"check", good, "-o", "x"},
        {"read", "-o", "x"},
        {"write", "--port", "COM0", good},
        {"ports", "extra"},
        {"print", good, good, "-o", "x.pdf"},
        {"--yes=1", "check", good},
        {"status", "--port", port, "--cycles", "2"},
        {"poll"},
        {"poll", "--port", port},
        {"poll", "--modbus", port, "--cycles", "0"},
        {"poll", "--modbus", port, "--cycles", "2x"},
        {"poll", "--modbus", "COM0"},
        {"poll", "--modbus", port, "--config", ""},
        {"read", "--port", port, "-o", "x", "--config", good},
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

// A port that cannot be opened gives the text and the system's reason; a gateway that does not
// answer, the communication error; either way exit 3, and read leaves its output file alone.
TEST_F(Tarnctl, GatewayFailuresExitThree)
{
    const auto good = File("good.mcf", kGood);
    const auto out = File("read.mcf", "previous contents\r\n");
    testing::PtyPair silent;  // nobody answers on the far end
    ASSERT_TRUE(silent.Ok());
    struct Case {
        std::vector<std::string> args;  // the port goes behind them
        std::string silentErr;          // what a silent gateway gives
    } cases[] = {
        {{"read", "-o", out, "--port"}, "tarnctl: Communication error with KX940\n"},
        {{"write", good, "--port"},
         "tarnctl: Communication error with KX940\n\nThe KX940 may now hold a partly written configuration:\n"
         "write the configuration to it again.\n"},
        {{"compare", good, "--port"}, "tarnctl: Communication error with KX940\n"},
        {{"status", "--port"}, "tarnctl: Communication error with KX940\n"},
        {{"--lang", "it", "poll", "--cycles", "1", "--modbus"}, "tarnctl: Impossibile comunicare con il KX940!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        auto args = c.args;
        args.push_back(dir.file("no-such-tty"));
        const auto absent = Run(args);
        EXPECT_EQ(absent.exitCode, 3);
        EXPECT_EQ(absent.out, "");
        // The port error names the device it tried.
        const std::string opening = c.args[0] == "--lang" ? "Impossibile accedere: " : "Unavailable Port: ";
        EXPECT_EQ(absent.err.rfind("tarnctl: " + opening + dir.file("no-such-tty") + ": ", 0), 0u) << absent.err;
        EXPECT_NE(absent.err.substr(absent.err.rfind(": ")), ": \n") << "the system's reason is missing";
        args.back() = silent.SlavePath();
        ExpectFailure(Run(args), 3, c.silentErr);
    }
    EXPECT_EQ(ReadFile(out), "previous contents\r\n");
}

TEST_F(Tarnctl, GatewaySubcommandsCheckTheirFileFirst)
{
    const auto bad = File("bad.mcf", "MASTER_CABLE 0x0004\r\n");
    for (const auto& args : std::vector<std::vector<std::string>>{{"write", "--port", dir.file("no-such-tty"), bad},
                                                                   {"compare", "--port", dir.file("no-such-tty"), bad},
                                                                   {"poll", "--modbus", dir.file("no-such-tty"), "--config", bad}}) {
        SCOPED_TRACE(args[0]);  // exit 2: 1 would read as "the gateway differs"
        ExpectFailure(Run(args), 2, bad + ":1: Incorrect parameter value (code 4)\n    MASTER_CABLE 0x0004\n");
    }
}

// Output that goes nowhere ends the subcommand with exit 1 and a message that names the
// standard output.
TEST_F(Tarnctl, OutputThatGoesNowhereIsAFailure)
{
    const auto good = File("good.mcf", kGood);
    const std::vector<std::string> cases[] = {
{"diff", good, good}, {"print", good, "-o", "-"}, {"--help"}};
    const std::pair<testing::DeadOutput, std::string> outputs[] = {
        {testing::DeadOutput::FullDevice, "No space left on device"},
        {testing::DeadOutput::ClosedPipe, "Broken pipe"},
    };
    for (const auto& [output, reason] : outputs) {
        for (const auto& args : cases) {
            SCOPED_TRACE(args[0] + (output == testing::DeadOutput::FullDevice ? " into a full device" : " into a closed pipe"));
            const auto r = testing::RunToolIntoDeadOutput(scratch.path(), output, TARNCTL_PATH, args);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "tarnctl: Error writing to standard output: " + reason + "\n");
        }
    }
}

// The document is written as every other file: a device stays a device, a file keeps its owner
// and mode, and a FIFO's reader gets it.
TEST_F(Tarnctl, PrintWritesTheDocumentThroughTheSafeSave)
{
    const auto good = File("good.mcf", kGood);
    struct stat st {};
    const auto sink = dir.file("sink");
    ASSERT_EQ(::mknod(sink.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    EXPECT_EQ(Run({"print", good, "-o", sink}).exitCode, 0);
    EXPECT_TRUE(::lstat(sink.c_str(), &st) == 0 && S_ISCHR(st.st_mode));

    const auto earlier = File("plant.pdf", "earlier");
    ASSERT_EQ(::chmod(earlier.c_str(), 0640), 0);
    ASSERT_EQ(::chown(earlier.c_str(), 65534, 65534), 0);
    EXPECT_EQ(Run({"print", good, "-o", earlier}).exitCode, 0);
    ASSERT_EQ(::lstat(earlier.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(ReadFile(earlier).rfind("%PDF-", 0), 0u);

    const auto fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    const int out = ::open(scratch.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    testing::Child child;
    ASSERT_TRUE(child.Spawn(TARNCTL_PATH, {"print", good, "-o", fifo}, -1, out, out));
    ::close(out);
    std::string read;
    char buffer[65536];
    std::optional<int> code;
    for (const auto end = testing::Clock::now() + std::chrono::seconds(60); testing::Clock::now() < end;) {
        for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) read.append(buffer, static_cast<std::size_t>(n));
        if (code) break;  // the reader was drained after the end
        code = child.Wait(std::chrono::milliseconds(10));
    }
    ::close(reader);
    EXPECT_EQ(code, 0) << ReadFile(scratch.file("out"));
    EXPECT_TRUE(::lstat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_EQ(read.rfind("%PDF-", 0), 0u) << read.substr(0, 20);
}

} // namespace
} // namespace tarn
