// Arbitrary bytes as a configuration file read over the default image. A file
// read without fault must write out and read back to the same image.
#include "config/config_file.h"
#include "config/default_config.h"
#include "require.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

namespace {

// Texts of more than 278 characters make lines the reader cuts: the one known
// way a written file does not read back.
bool TextsFitTheirLines(const tarn::SystemConfiguration& c)
{
    const auto fits = [](auto& field) { return tarn::FieldText(field).size() <= 278; };
    bool all = fits(c.ORGANIZATION) && fits(c.DOCUMENT) && fits(c.OPERATOR_1) && fits(c.OPERATOR_2);
    for (const auto& address : c.ADDRESS) all = all && fits(address);
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tarn;
    static SystemConfiguration defaults = [] {
        SystemConfiguration c{};
        BuildDefaultConfiguration(c);
        return c;
    }();

    SystemConfiguration image = defaults;
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const ConfigReadFault fault = ParseConfiguration(in, image);
    if (fault.kind == ConfigReadFault::Statement) {
        Require(fault.code >= 1 && fault.code <= 12 && fault.line >= 1);
        Require(fault.statement.size() <= 299);
    }
    // The round trip below costs a whole file each time; it runs for files read
    // without fault, which are also what a user saves again.
    if (!fault.ok() || !TextsFitTheirLines(image)) return 0;

    // Every field the file carries is written, and nothing else differs from the
    // defaults, so the image read back must equal the image byte for byte.
    SystemConfiguration back = defaults;
    std::istringstream again(FormatConfiguration(image));
    Require(ParseConfiguration(again, back).ok());
    Require(std::memcmp(&back, &image, sizeof image) == 0);
    return 0;
}
