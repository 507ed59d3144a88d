#include "config/settings_file.h"

#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "text/texts.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tarn {
namespace {

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
        {"SERIALPORT 1\nSERIALPORT 256\nMODBUSPORT 0\nLANGUAGE 1\n", 0, {Com(256), Com(0), 1}},  // the last one counts
        {"MODBUSPORT \"/dev/serial/by-id/usb FTDI\"// link\n", 0, {{}, Named("/dev/serial/by-id/usb FTDI"), 0}},
        {"SERIALPORT 257\n", 4, {}},
        {"SERIALPORT 99999999999999999999\n", 4, {}},
        {"SERIALPORT 3x\n", 5, {}},
        {"SERIALPORT 3 4\n", 1, {}},
        {"LANGUAGE 2\n", 4, {}},
        {"SERIALPORT \"/dev/tty\n", 5, {}},                             // no closing quote
        {"SERIALPORT \"a\"b\n", 1, {}},
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

} // namespace
} // namespace tarn
