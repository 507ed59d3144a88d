// Arbitrary bytes through the readers of core, with the contracts they promise checked: as a
// Settings file and as a configuration file read over the default image (whatever a reader
// accepts must write out and read back to the same values), and as a Modbus reply through the
// frame check and the register decoding (the first byte is then the register count asked for,
// low 7 bits; every frame we build must check as ours).
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/settings_file.h"
#include "link/modbus_frame.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tarn;

// A broken contract ends the run, so that libFuzzer keeps the input.
void Require(bool condition)
{
    if (!condition) std::abort();
}

void SettingsFile(const std::string& bytes)
{
    Settings settings;
    std::istringstream in(bytes);
    const ReadFault fault = ParseSettings(in, settings);
    Require(fault.kind != ReadFault::Statement || (fault.code >= 1 && fault.code <= 5));
    Require(settings.language >= 0 && settings.language <= 1);
    // A port name the writer cannot represent is written as none: compare with that.
    Settings expected = settings;
    for (PortSetting* port : {&expected.serialPort, &expected.modbusPort})
        if (port->name.size() > 283) *port = PortSetting{};
    Settings back{{7, {}}, {7, {}}, 1};
    std::istringstream again(FormatSettings(settings));
    Require(ParseSettings(again, back).ok() && back == expected);
}

void ConfigurationFile(const std::string& bytes)
{
    static const SystemConfiguration defaults = [] {
        SystemConfiguration c{};
        BuildDefaultConfiguration(c);
        return c;
    }();
    SystemConfiguration image = defaults;
    std::istringstream in(bytes);
    const ConfigReadFault fault = ParseConfiguration(in, image);
    if (fault.kind == ConfigReadFault::Statement)
        Require(fault.code >= 1 && fault.code <= 12 && fault.line >= 1 && fault.statement.size() <= 299);
    // Texts of more than 278 characters make lines the reader cuts: the one known way a written
    // file does not read back.
    bool fit = true;
    for (const auto* text : {&image.ORGANIZATION, &image.DOCUMENT, &image.OPERATOR_1, &image.OPERATOR_2, &image.ADDRESS[0],
                             &image.ADDRESS[1], &image.ADDRESS[2], &image.ADDRESS[3]})
        fit = fit && FieldText(*text).size() <= 278;
    if (!fault.ok() || !fit) return;
    // Every field the file carries is written and nothing else differs from the defaults.
    SystemConfiguration back = defaults;
    std::istringstream again(FormatConfiguration(image));
    Require(ParseConfiguration(again, back).ok() && std::memcmp(&back, &image, sizeof image) == 0);
}

void ModbusReply(const std::string& bytes)
{
    if (bytes.empty()) return;
    const int count = static_cast<unsigned char>(bytes[0]) & 0x7F;
    // A copy of exactly the reply's size, so that a read past it is caught.
    const std::vector<std::uint8_t> reply(bytes.begin() + 1, bytes.end());

    const int payload = ModbusPayloadLength(reply.data(), reply.size());
    Require(payload == 0 || static_cast<std::size_t>(payload) == reply.size() - 2);
    if (payload > 0) {
        const std::uint16_t crc = ModbusCrc16(reply.data(), static_cast<std::size_t>(payload));
        Require(reply[payload] == (crc & 0xFF) && reply[payload + 1] == (crc >> 8));
    }
    for (const int asked : {count, (payload - 3) / 2}) {
        ModbusRegisters registers;
        registers.fill(0xDEAD);
        const bool decoded = DecodeHoldingRegisters(reply.data(), reply.size(), payload, asked, registers);
        Require(!decoded || (asked >= 1 && asked <= MODBUS_MAX_REGISTERS && payload == 3 + 2 * asked));
        for (int i = decoded ? asked : 0; i < MODBUS_MAX_REGISTERS; ++i) Require(registers[i] == 0);
        for (int i = 0; decoded && i < asked; ++i)
            Require(registers[i] == (static_cast<std::uint32_t>(reply[3 + 2 * i]) << 8 | reply[4 + 2 * i]));
    }
    if (!reply.empty()) {
        const std::vector<std::uint8_t> frame = ModbusFrame(reply.data(), reply.size());
        Require(frame.size() == reply.size() + 2);
        Require(ModbusPayloadLength(frame.data(), frame.size()) == static_cast<int>(reply.size()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    SettingsFile(bytes);
    ConfigurationFile(bytes);
    ModbusReply(bytes);
    return 0;
}
