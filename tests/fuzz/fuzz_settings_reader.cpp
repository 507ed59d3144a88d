// Arbitrary bytes as a Settings file. Whatever was accepted must write out and
// read back to the same settings.
#include "config/settings_file.h"
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn;
    Settings settings;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const ReadFault fault = ParseSettings(in, settings);
    Require(fault.kind != ReadFault::Statement || (fault.code >= 1 && fault.code <= 5));
    Require(settings.language >= 0 && settings.language <= 1);

    // A port name the writer cannot represent is written as none: compare with that.
    Settings expected = settings;
    for (PortSetting* port : {&expected.serialPort, &expected.modbusPort})
        if (port->name.size() > 283) *port = PortSetting{};

    Settings back{{7, {}}, {7, {}}, 1};
    std::istringstream again(FormatSettings(settings));
    Require(ParseSettings(again, back).ok());
    Require(back == expected);
    return 0;
}
