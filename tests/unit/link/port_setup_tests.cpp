#include "link/port_setup.h"

#include "link/link.h"
#include "link/modbus_frame.h"
#include "support/fake_gateway.h"
#include "support/recording_ui.h"
#include "support/session_calls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn {
namespace {

using testing::Bytes;
using testing::CoreFixture;
using testing::FakeGateway;
using testing::FakeReply;

const PortSetting kNone{};
PortSetting Com(int n) { return {n, {}}; }
PortSetting Named(const std::string& path) { return {0, path}; }

TEST(SelectStoredPort, TakesOnlyTheEntryThatEqualsTheStoredPort)
{
    // COM10 and COM12 present, COM1 absent, and a USB adapter.
    const std::vector<std::string> entries = {Com(10).DevicePath(), Com(12).DevicePath(), "/dev/ttyUSB0"};
    const struct {
        const char* name;
        PortSetting stored;
        StoredPortSelection selection;
    } cases[] = {
        {"COM10", Com(10), {1, false}},
        {"COM1 is no prefix match for COM10", Com(1), {4, true}},
        {"by name", Named("/dev/ttyUSB0"), {3, false}},
        {"a name that only begins like an entry", Named("/dev/ttyUSB"), {4, true}},
        {"none is no fault", kNone, {0, false}},
    };
    for (const auto& c : cases) {
        const StoredPortSelection s = SelectStoredPort(entries, c.stored);
        EXPECT_EQ(s.index, c.selection.index) << c.name;
        EXPECT_EQ(s.unavailable, c.selection.unavailable) << c.name;
    }
}

class LinkTests : public ::testing::Test, protected testing::SessionCalls {
protected:
    Session& CalledSession() override { return f.session; }

    void SetUp() override
    {
        f.state.serialPort = Com(2);
        f.state.modbusPort = Com(3);
        f.state.current.MASTER_MOD_ADDR = 17;
        f.state.current.MASTER_MOD_BAUD = 2;
        f.state.current.MASTER_MOD_FORM = 0;
    }
    void TearDown() override
    {
        // The kept ports are back and no link stays open, whatever the test did.
        EXPECT_EQ(f.state.serialPort, Com(2));
        EXPECT_EQ(f.state.modbusPort, Com(3));
        EXPECT_FALSE(SerialLinkOpen());
        EXPECT_FALSE(ModbusLinkOpen());
    }
    struct LinkCase {
        const char* name;
        PortSetting port;
        std::vector<FakeReply> replies;  // of the far end
        LinkError openError;
        int result;
        std::string text;  // of the one message: an information on success, else an error
    };
    // One link test on a fresh line; the message's details are the system's reason for a refused open.
    template <typename LinkTest>
    void Run(LinkTest test, const LinkCase& c)
    {
        gateway.Reset();
        f.ui.messages.clear();
        gateway.line().replies.assign(c.replies.begin(), c.replies.end());
        gateway.line().openError = c.openError;
        EXPECT_EQ(test(f.session.links, c.port), c.result);
        // The port chosen in the dialog is the one tried, not the stored one.
        if (!c.port.IsNone()) EXPECT_EQ(gateway.line().openedPaths.back(), c.port.DevicePath());
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].icon, c.result ? MessageIcon::Information : MessageIcon::Error);
        EXPECT_EQ(f.ui.messages[0].text, c.text);
        EXPECT_EQ(f.ui.messages[0].details, c.openError.reason);
    }

    CoreFixture f;
    FakeGateway gateway{f.devices};
};

TEST_F(LinkTests, SerialTestReportsEachOutcome)
{
    const LinkCase cases[] = {
        {"no port", kNone, {}, {}, 0, "COM port undefined!"},
        {"port refused", Named("/dev/ttyUSB7"), {}, {LinkErrorKind::PermissionDenied, "Permission denied"}, 0,
         "Unavailable Port"},
        {"silent", Named("/dev/ttyUSB7"), {FakeReply::Silent(), FakeReply::Silent()}, {}, 0, "Impossible to communicate"},
        {"another address", Named("/dev/ttyUSB7"), {FakeReply::Text("C1.02=0001\r")}, {}, 0, "Wrong response from theKX940"},
        {"any value", Named("/dev/ttyUSB7"), {FakeReply::Text("C1.01=whatever\r")}, {}, 1,
         "Succesfull communication with the KX940"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(TestSerialLink, c);
    }
}

TEST_F(LinkTests, ModbusTestWantsOneRegisterFromTheConfiguredAddress)
{
    auto reply = [](std::vector<std::uint8_t> payload) {
        return FakeReply::Raw(ModbusFrame(payload.data(), payload.size()));
    };
    const LinkCase cases[] = {
        {"port missing", Named("/dev/ttyUSB9"), {}, {LinkErrorKind::NotFound, "No such file or directory"}, 0,
         "Unavailable Port"},
        {"one register", Named("/dev/ttyUSB9"), {reply({17, 3, 2, 0x12, 0x34})}, {}, 1,
         "Succesfull communication with the KX940"},
        {"two registers", Named("/dev/ttyUSB9"), {reply({17, 3, 4, 0, 1, 0, 2})}, {}, 0, "Impossible to communicate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Run(TestModbusLink, c);
        if (!c.replies.empty()) {
            const std::uint8_t request[] = {17, 3, 0x04, 0x00, 0x00, 0x01};
            EXPECT_EQ(gateway.line().writes.at(0), ModbusFrame(request, sizeof request));
            EXPECT_EQ(gateway.line().openedSettings.at(0), (LineSettings{19200, 8, Parity::None, 1}));
        }
    }
}

} // namespace
} // namespace tarn
