// tarnctl run as a process: exit codes, the exact lines on stdout and stderr,
// and the files it leaves alone.
#include "cli/subcommands.h"
#include "serial/pty_pair.h"
#include "support/process.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

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

    // A run that wrote nothing on stdout: its exit code and its whole stderr.
    static void ExpectFailure(const ToolResult& r, int code, const std::string& err)
    {
        EXPECT_EQ(r.exitCode, code) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, err);
    }

    CoreFixture core; // English texts and a fresh state for the expectations built here
    TempDir dir;
    TempDir scratch;
    const std::string good = File("good.mcf",
                                  "// a small plant\r\n"
                                  " MASTER_TAG        \"Boiler house\"\r\n"
                                  " SLAVE_TYPE 0x00 0x0001\r\n"
                                  "  CHANNEL 0x00 0x05 \"TI-105\" 0x0087\r\n");
};

TEST_F(Tarnctl, CheckSaysNothingOfGoodFilesAndGoesOnAfterAFaultyOne)
{
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

// Exit 0 for equal files, 1 for different ones, 2 for a file that cannot be read; the report
// (its items are the comparison tests') goes to stdout with LF line ends.
TEST_F(Tarnctl, DiffExitCodesAndReport)
{
    const auto other = File("b.mcf", ReadFile(good) + " master_freq 0x0001\r\n SLAVE_TYPE 0x02 0x0003\r\n");
    const auto same = Run({"diff", good, good});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.out.rfind("Actual Configuration\t\t\tDisk Configuration\nMaster\n", 0), 0u) << same.out.substr(0, 300);
    EXPECT_EQ(same.out.find('\r'), std::string::npos);

    const auto differ = Run({"diff", good, other});
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_EQ(differ.err, "");
    EXPECT_NE(differ.out.find("\nSlave 3\n  Type of Slave\tError\t<No Unit>\t<KX927>\n"), std::string::npos);

    const auto missing = dir.file("missing.mcf");
    ExpectFailure(Run({"diff", good, missing}), 2, missing + ": Error opening the configuration file\n");
    const auto bad = File("bad.mcf", " SLAVE_EXP 0x00 0x0004\r\n");
    ExpectFailure(Run({"diff", bad, good}), 2, bad + ":1: Incorrect number of Expansions (code 10)\n    SLAVE_EXP 0x00 0x0004\n");
}

TEST_F(Tarnctl, UsageErrors)
{
    const auto port = dir.file("no-port");  // never opened: the line is refused first
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"check"},
        {"--lang", "fr", "check", good},
        {"normalize", good},
        {"default", "-o", "x", "-o", "y"},
        {"write", "--port", "COM0", good},
        {"status", "--port", port, "--cycles", "2"},
        {"poll", "--port", port},
        {"poll", "--modbus", port, "--cycles", "0"},
        {"poll", "--modbus", "COM0"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("tarnctl: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find("\nusage: tarnctl "), std::string::npos);
    }
}

// A port that cannot be opened gives the text and the system's reason; a gateway that does not
// answer, the communication error; either way exit 3, and read leaves its output file alone.
TEST_F(Tarnctl, GatewayFailuresExitThree)
{
    const auto out = File("read.mcf", "previous contents\r\n");
    testing::PtyPair silent;  // nobody answers on the far end
    ASSERT_TRUE(silent.Ok());
    const std::string error = "tarnctl: Communication error with KX940\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {  // the port goes behind the arguments
        {{"read", "-o", out, "--port"}, error},
        {{"write", good, "--port"},
         error + "\nThe KX940 may now hold a partly written configuration:\nwrite the configuration to it again.\n"},
        {{"status", "--port"}, error},
        {{"--lang", "it", "poll", "--cycles", "1", "--modbus"}, "tarnctl: Impossibile comunicare con il KX940!\n"},
    };
    for (auto [args, silentErr] : cases) {
        SCOPED_TRACE(args[0] + " " + args[1]);
        args.push_back(dir.file("no-such-tty"));
        const auto absent = Run(args);
        EXPECT_EQ(absent.exitCode, 3);
        EXPECT_EQ(absent.out, "");
        // The port error names the device it tried and the system's reason.
        const std::string opening = args[0] == "--lang" ? "Impossibile accedere: " : "Unavailable Port: ";
        EXPECT_EQ(absent.err.rfind("tarnctl: " + opening + dir.file("no-such-tty") + ": ", 0), 0u) << absent.err;
        EXPECT_NE(absent.err.substr(absent.err.rfind(": ")), ": \n") << "the system's reason is missing";
        args.back() = silent.SlavePath();
        ExpectFailure(Run(args), 3, silentErr);
    }
    EXPECT_EQ(ReadFile(out), "previous contents\r\n");
}

TEST_F(Tarnctl, GatewaySubcommandsCheckTheirFileFirst)
{
    const auto bad = File("bad.mcf", "MASTER_CABLE 0x0004\r\n");
    const auto tty = dir.file("no-such-tty");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"write", "--port", tty, bad}, {"compare", "--port", tty, bad}, {"poll", "--modbus", tty, "--config", bad}}) {
        SCOPED_TRACE(args[0]);  // exit 2: 1 would read as "the gateway differs"
        ExpectFailure(Run(args), 2, bad + ":1: Incorrect parameter value (code 4)\n    MASTER_CABLE 0x0004\n");
    }
}

// Output that goes nowhere ends the subcommand with exit 1 and a message that names the
// standard output.
TEST_F(Tarnctl, OutputThatGoesNowhereIsAFailure)
{
    const std::pair<testing::DeadOutput, std::string> outputs[] = {
        {testing::DeadOutput::FullDevice, "No space left on device"},
        {testing::DeadOutput::ClosedPipe, "Broken pipe"},
    };
    const std::vector<std::string> cases[] = {{"diff", good, good}, {"print", good, "-o", "-"}, {"--help"}};
    for (const auto& [output, reason] : outputs) {
        for (const auto& args : cases) {
            SCOPED_TRACE(args[0] + " with " + reason);
            const auto r = testing::RunToolIntoDeadOutput(scratch.path(), output, TARNCTL_PATH, args);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.err, "tarnctl: Error writing to standard output: " + reason + "\n");
        }
    }
}

TEST(PortArgument, NamesADeviceOrACOMNumber)
{
    const std::tuple<const char*, bool, int, const char*> cases[] = {  // argument, accepted, number, name
        {"/dev/ttyUSB0", true, 0, "/dev/ttyUSB0"},
        {"com12", true, 12, ""},
        {"1", true, 1, ""},
        {"COM256", true, 256, ""},
        {"257", false, 0, ""},
        {"COM0", false, 0, ""},
        {"", false, 0, ""},
    };
    for (const auto& [argument, ok, number, name] : cases) {
        SCOPED_TRACE(argument);
        PortSetting port;
        port.number = 77;
        EXPECT_EQ(cli::ParsePortArgument(argument, port), ok);
        if (!ok) continue;
        EXPECT_EQ(port.number, number);
        EXPECT_EQ(port.name, name);
    }
    PortSetting com4;
    ASSERT_TRUE(cli::ParsePortArgument("COM4", com4));
    EXPECT_EQ(com4.DevicePath(), "/dev/ttyS3");
}

TEST(PollCsv, FieldsWithASeparatorQuoteOrLineBreakAreQuoted)
{
    for (const auto& [text, field] : {std::pair<std::string, std::string>{"-12.50 mV", "-12.50 mV"}, {"1,5 mV", "\"1,5 mV\""},
                                      {"5\" OPEN", "\"5\"\" OPEN\""}, {"A\r\nB", "\"A\r\nB\""}})
        EXPECT_EQ(cli::CsvField(text), field);
}

} // namespace
} // namespace tarn
