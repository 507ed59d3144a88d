#include "diag/factory_test.h"

#include "link/link.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <cctype>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

namespace tarn {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "%d" at pos: on success the value and the position after it.
bool ScanDecimal(std::string_view text, std::size_t& pos, int& value)
{
    std::size_t i = pos;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) return false;
    long long v = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i)
        if (v <= INT_MAX) v = v * 10 + (text[i] - '0');
    if (negative) v = -v;
    value = static_cast<int>(v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v);
    pos = i;
    return true;
}

std::string Limited(std::string_view field)
{
    return std::string(field.substr(0, FT_FIELD_CHARS));
}

} // namespace

int ReadDecimal(std::string_view text)
{
    std::size_t pos = 0;
    int value = 0;
    return ScanDecimal(text, pos, value) ? value : 0;
}

std::string NormaliseFactoryCommand(std::string_view field)
{
    std::string text = Limited(field);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    // "%c%d.%d=%d": each conversion only after the one before it and its literal matched.
    char letter = '?';
    int unit = 0, parameter = 0, value = 0;
    std::size_t pos = 0;
    if (!text.empty()) {
        letter = text[pos++];
        if (ScanDecimal(text, pos, unit) && pos < text.size() && text[pos] == '.' &&
            ScanDecimal(text, ++pos, parameter) && pos < text.size() && text[pos] == '=')
            ScanDecimal(text, ++pos, value);
    }
    if (letter == '?') return "?";
    char out[64];
    std::snprintf(out, sizeof out, "%c%d.%02d=%05d", letter, unit, parameter, value);
    return out;
}

std::string CountText(int count)
{
    char out[16];
    std::snprintf(out, sizeof out, "%05d", count);
    return out;
}

int FactoryTest::Begin(GatewayLinks& links_)
{
    if (!links_.OpenSerialWithMessage()) return 0;
    if (!links_.OpenModbusWithMessage()) {
        links_.CloseSerial();
        return 0;
    }
    return 1;
}

void FactoryTest::Finish(GatewayLinks& links_)
{
    links_.CloseSerial();
    links_.CloseModbus();
    links_.state().RequestRefresh(ViewRefresh::Full);
}

FactoryTest::FactoryTest(GatewayLinks& links)
    : wait([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }), links_(links)
{
}

void FactoryTest::Send()
{
    std::array<bool, FT_COLUMNS> refused{};
    for (int i = 0; i < FT_COLUMNS; ++i) {
        const std::string command = NormaliseFactoryCommand(commandField[i]);
        commandField[i] = command;
        refused[i] = command.size() > static_cast<std::size_t>(FT_COMMAND_CAPACITY);
        commands_[i] = refused[i] ? "?" : command;
        toleranceField[i] = std::to_string(ReadDecimal(toleranceField[i]));
    }
    wait(FT_SEND_PAUSE_MS);
    for (int i = 0; i < FT_COLUMNS; ++i) {
        if (refused[i]) {
            ++serialErrors;
            continue;
        }
        if (commands_[i] == "?") continue;
        if (!links_.Serial().SerialExchange(commands_[i]).ok()) ++serialErrors;
    }
}

bool FactoryTest::StartSerial()
{
    serialRunning_ = true;
    return !modbusRunning_;
}

bool FactoryTest::StartModbus()
{
    modbusRunning_ = true;
    return !serialRunning_;
}

bool FactoryTest::CheckColumn(int i)
{
    const std::string text = Limited(commandField[i]);
    if (!text.empty() && text[0] == '?') return true;
    const std::size_t equals = text.find('=');
    const std::string request = text.substr(0, equals);
    // A command without "=" expects 0.
    const long long expected = equals == std::string::npos ? 0 : ReadDecimal(std::string_view(text).substr(equals + 1));

    const SerialReply exchanged = links_.Serial().SerialExchange(request);
    const std::string& reply = exchanged.text;
    replyField[i] = reply;
    if (!exchanged.ok()) return false;
    const std::size_t at = reply.find('=');
    const long long received = at == std::string::npos ? 0 : ReadDecimal(std::string_view(reply).substr(at + 1));
    const long long tolerance = ReadDecimal(toleranceField[i]);
    return expected - tolerance <= received && received <= expected + tolerance;
}

bool FactoryTest::Tick()
{
    if (serialRunning_) {
        ++serialCycles;
        for (int i = 0; i < FT_COLUMNS; ++i)
            if (!CheckColumn(i)) ++serialErrors;
    }
    if (modbusRunning_) {
        ++modbusCycles;
        // Register 0 of slave 1, whatever the gateway's address.
        const RegisterRead read = links_.Modbus().ReadHoldingRegisters(1, 0, 1);
        if (read.ok()) {
            char text[16];
            std::snprintf(text, sizeof text, " %05u", static_cast<unsigned>(read.registers[0]));
            modbusField = text;
        } else {
            ++modbusErrors;
            modbusField.clear();
        }
    }
    return serialRunning_ || modbusRunning_;
}

} // namespace tarn
