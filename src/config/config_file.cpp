#include "config/config_file.h"

#include "config/app_state.h"
#include "config/safe_file.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <cstdio>
#include <fstream>

namespace tarn {

namespace {

constexpr Keyword kConfigurationKeywords[] = {
    {"MASTER_TAG", KW_MASTER_TAG},
    {"ORGANIZATION", KW_ORGANIZATION},
    {"ADDRESS_1", KW_ADDRESS_1},
    {"ADDRESS_2", KW_ADDRESS_2},
    {"ADDRESS_3", KW_ADDRESS_3},
    {"ADDRESS_4", KW_ADDRESS_4},
    {"DOCUMENT", KW_DOCUMENT},
    {"OPERATOR_1", KW_OPERATOR_1},
    {"OPERATOR_2", KW_OPERATOR_2},
    {"MASTER_CABLE", KW_MASTER_CABLE},
    {"MASTER_FREQ", KW_MASTER_FREQ},
    {"MASTER_REPT", KW_MASTER_REPT},
    {"MASTER_REPT_MAT", KW_MASTER_REPT_MAT},
    {"MASTER_MOD_ADDR", KW_MASTER_MOD_ADDR},
    {"MASTER_MOD_BAUD", KW_MASTER_MOD_BAUD},
    {"MASTER_MOD_FORM", KW_MASTER_MOD_FORM},
    {"MASTER_MOD_CONFIG", KW_MASTER_MOD_CONFIG},
    {"SLAVE_TYPE", KW_SLAVE_TYPE},
    {"SLAVE_EXP", KW_SLAVE_EXP},
    {"SLAVE_CJC", KW_SLAVE_CJC},
    {"CHANNEL", KW_CHANNEL},
};

constexpr const char* kLineBreak = "\r\n";
// Master and document statements put their field at this column (counted from 0).
constexpr std::size_t kFieldColumn = 19;

std::string hex(std::uint32_t value, int width)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", width, static_cast<unsigned>(value));
    return buffer;
}

std::string masterPrefix(std::string_view keyword)
{
    std::string line = " ";
    line += keyword;
    line.resize(kFieldColumn, ' ');
    return line;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

using TextField = char[TEXT_CAPACITY];

TextField& textField(SystemConfiguration& image, int keyword)
{
    switch (keyword) {
    case KW_ADDRESS_1: return image.ADDRESS[0];
    case KW_ADDRESS_2: return image.ADDRESS[1];
    case KW_ADDRESS_3: return image.ADDRESS[2];
    case KW_ADDRESS_4: return image.ADDRESS[3];
    case KW_DOCUMENT: return image.DOCUMENT;
    case KW_OPERATOR_1: return image.OPERATOR_1;
    case KW_OPERATOR_2: return image.OPERATOR_2;
    default: return image.ORGANIZATION;
    }
}

struct ValueField {
    int keyword;
    std::uint32_t SystemConfiguration::*field;
    std::uint32_t low;
    std::uint32_t high;
};

constexpr ValueField kValueFields[] = {
    {KW_MASTER_CABLE, &SystemConfiguration::MASTER_CABLE, 0, 3},
    {KW_MASTER_FREQ, &SystemConfiguration::MASTER_FREQ, 0, 1},
    {KW_MASTER_REPT, &SystemConfiguration::MASTER_REPT, 0, 4},
    {KW_MASTER_MOD_ADDR, &SystemConfiguration::MASTER_MOD_ADDR, 1, 250},
    {KW_MASTER_MOD_BAUD, &SystemConfiguration::MASTER_MOD_BAUD, 0, 5},
    {KW_MASTER_MOD_FORM, &SystemConfiguration::MASTER_MOD_FORM, 0, 3},
    {KW_MASTER_MOD_CONFIG, &SystemConfiguration::MASTER_MOD_CONFIG, 0, 1},
};

// Checks one statement in the order the codes are given and stores it; 0 or the error code.
int applyStatement(int keyword, const std::string (&f)[5], SystemConfiguration& image)
{
    switch (keyword) {
    case KW_MASTER_TAG: {
        if (!f[1].empty()) return STATEMENT_TOO_MANY_FIELDS;
        const auto tag = ParseQuotedTag(f[0]);
        if (!tag) return STATEMENT_BAD_FORMAT;
        SetFieldText(image.MASTER_TAG, *tag);
        return 0;
    }
    case KW_ORGANIZATION:
    case KW_ADDRESS_1:
    case KW_ADDRESS_2:
    case KW_ADDRESS_3:
    case KW_ADDRESS_4:
    case KW_DOCUMENT:
    case KW_OPERATOR_1:
    case KW_OPERATOR_2: {
        if (!f[1].empty()) return STATEMENT_TOO_MANY_FIELDS;
        const auto text = ParseQuotedText(f[0]);
        if (!text) return STATEMENT_BAD_FORMAT;
        SetFieldText(textField(image, keyword), *text);
        return 0;
    }
    case KW_MASTER_REPT_MAT: {
        if (!f[2].empty()) return STATEMENT_TOO_MANY_FIELDS;
        if (f[1].empty()) return STATEMENT_FIELD_MISSING;
        const auto repeater = ParseHexField(f[0]);
        const auto unit = ParseHexField(f[1]);
        if (!repeater || !unit) return STATEMENT_BAD_FORMAT;
        if (*repeater > 3) return STATEMENT_BAD_REPEATER;
        if (*unit > 3) return STATEMENT_BAD_REPEATER_MATRIX;
        image.MASTER_REPT_MAT[*repeater] = *unit;
        return 0;
    }
    case KW_SLAVE_TYPE:
    case KW_SLAVE_EXP:
    case KW_SLAVE_CJC: {
        if (!f[2].empty()) return STATEMENT_TOO_MANY_FIELDS;
        if (f[1].empty()) return STATEMENT_FIELD_MISSING;
        const auto unit = ParseHexField(f[0]);
        const auto value = ParseHexField(f[1]);
        if (!unit || !value) return STATEMENT_BAD_FORMAT;
        if (*unit > 3) return STATEMENT_BAD_UNIT;
        UnitRecord& record = image.units[*unit];
        if (keyword == KW_SLAVE_TYPE) {
            if (*value != UNIT_NONE && *value != UNIT_KX913 && *value != UNIT_KX927) return STATEMENT_BAD_UNIT_TYPE;
            record.SLAVE_TYPE = *value;
        } else if (keyword == KW_SLAVE_EXP) {
            if (*value > 3) return STATEMENT_BAD_EXPANSIONS;
            record.SLAVE_EXP = *value;
        } else {
            // 16-bit two's complement; ParseHexField keeps the value below 0x80000000.
            const std::int64_t reference = *value > 32767 ? std::int64_t{*value} - 65536 : std::int64_t{*value};
            if (reference < -400 || reference > 1000) return STATEMENT_BAD_CJC;
            record.SLAVE_CJC = static_cast<std::int32_t>(reference);
        }
        return 0;
    }
    case KW_CHANNEL: {
        if (!f[4].empty()) return STATEMENT_TOO_MANY_FIELDS;
        if (f[3].empty()) return STATEMENT_FIELD_MISSING;
        const auto unit = ParseHexField(f[0]);
        if (!unit) return STATEMENT_BAD_FORMAT;
        const auto channel = ParseHexField(f[1]);
        if (!channel) return STATEMENT_BAD_FORMAT;
        const auto tag = ParseQuotedTag(f[2]);
        if (!tag) return STATEMENT_BAD_FORMAT;
        const auto word = ParseHexField(f[3]);
        if (!word) return STATEMENT_BAD_FORMAT;
        if (*unit > 3) return STATEMENT_BAD_UNIT;
        if (*channel > 63) return STATEMENT_BAD_CHANNEL;
        if (*word > 0xFFFF) return STATEMENT_BAD_VALUE;
        ChannelRecord& record = image.units[*unit].channels[*channel];
        SetFieldText(record.tag, *tag);
        record.word = *word;
        return 0;
    }
    default:
        for (const ValueField& v : kValueFields) {
            if (v.keyword != keyword) continue;
            if (!f[1].empty()) return STATEMENT_TOO_MANY_FIELDS;
            if (f[0].empty()) return STATEMENT_FIELD_MISSING;
            const auto value = ParseHexField(f[0]);
            if (!value) return STATEMENT_BAD_FORMAT;
            if (*value < v.low || *value > v.high) return STATEMENT_BAD_VALUE;
            image.*v.field = *value;
            return 0;
        }
        return STATEMENT_BAD_NAME;
    }
}

const char* unitHeading(std::uint32_t type)
{
    if (type == UNIT_KX913) return "KX913";
    if (type == UNIT_KX927) return "KX927";
    return "Not installed";
}

} // namespace

std::span<const Keyword> ConfigurationKeywords() { return kConfigurationKeywords; }

std::string FormatConfiguration(const SystemConfiguration& image)
{
    std::string out;
    out.reserve(16384);
    auto line = [&out](const std::string& text) {
        out += text;
        out += kLineBreak;
    };

    line(std::string("//Configuration of Multiplexer") + kLineBreak);
    line(std::string("// Configuration of Master") + kLineBreak);
    line(masterPrefix("MASTER_TAG") + quoted(FieldText(image.MASTER_TAG)));
    line(masterPrefix("ORGANIZATION") + quoted(FieldText(image.ORGANIZATION)));
    for (int a = 0; a < 4; ++a)
        line(masterPrefix("ADDRESS_" + std::to_string(a + 1)) + quoted(FieldText(image.ADDRESS[a])));
    line(masterPrefix("DOCUMENT") + quoted(FieldText(image.DOCUMENT)));
    line(masterPrefix("OPERATOR_1") + quoted(FieldText(image.OPERATOR_1)));
    line(masterPrefix("OPERATOR_2") + quoted(FieldText(image.OPERATOR_2)));
    line(masterPrefix("MASTER_CABLE") + hex(image.MASTER_CABLE, 4));
    line(masterPrefix("MASTER_FREQ") + hex(image.MASTER_FREQ, 4));
    line(masterPrefix("MASTER_REPT") + hex(image.MASTER_REPT, 4));
    for (int r = 0; r < REPEATER_COUNT; ++r)
        line(masterPrefix("MASTER_REPT_MAT") + hex(static_cast<std::uint32_t>(r), 2) + " "
             + hex(image.MASTER_REPT_MAT[r], 4));
    line(masterPrefix("MASTER_MOD_ADDR") + hex(image.MASTER_MOD_ADDR, 4));
    line(masterPrefix("MASTER_MOD_BAUD") + hex(image.MASTER_MOD_BAUD, 4));
    line(masterPrefix("MASTER_MOD_FORM") + hex(image.MASTER_MOD_FORM, 4));
    line(masterPrefix("MASTER_MOD_CONFIG") + hex(image.MASTER_MOD_CONFIG, 4));

    for (int u = 0; u < UNIT_COUNT; ++u) {
        const UnitRecord& unit = image.units[u];
        const bool known = unit.SLAVE_TYPE == UNIT_KX913 || unit.SLAVE_TYPE == UNIT_KX927;
        const std::string index = hex(static_cast<std::uint32_t>(u), 2);
        line(std::string(kLineBreak) + "// Configuration of Unit " + std::to_string(u + 1) + " - type: "
             + unitHeading(unit.SLAVE_TYPE));
        line(" SLAVE_TYPE " + index + " " + hex(known ? unit.SLAVE_TYPE : UNIT_NONE, 4));
        line(" SLAVE_EXP  " + index + " " + hex(unit.SLAVE_EXP, 4));
        const std::int64_t cjc = unit.SLAVE_CJC < 0 ? std::int64_t{unit.SLAVE_CJC} + 0x10000 : unit.SLAVE_CJC;
        line(" SLAVE_CJC  " + index + " " + hex(static_cast<std::uint32_t>(cjc), 4));
        for (int c = 0; c < CHANNEL_COUNT; ++c) {
            const ChannelRecord& channel = unit.channels[c];
            std::string tag(FieldText(channel.tag));
            if (tag.size() < QUOTED_TAG_LENGTH) tag.resize(QUOTED_TAG_LENGTH, ' ');
            line("  CHANNEL " + index + " " + hex(static_cast<std::uint32_t>(c), 2) + " " + quoted(tag) + " "
                 + hex(channel.word, 4));
        }
    }
    return out;
}

ConfigReadFault ParseConfiguration(std::istream& in, SystemConfiguration& image)
{
    return ReadStatements(in, 5, [&image](StatementTokens& t) {
        const int position = FindKeyword(ConfigurationKeywords(), t.keyword);
        if (position < 0) return static_cast<int>(STATEMENT_BAD_NAME);
        return applyStatement(ConfigurationKeywords()[static_cast<std::size_t>(position)].id, t.fields, image);
    });
}

ConfigReadFault ParseConfigurationFile(const std::string& path, SystemConfiguration& image)
{
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) return {ReadFault::Open, 0, 0, {}};
    return ParseConfiguration(in, image);
}

int ReadConfigurationFile(AppState& state, const std::string& path, const std::string& displayName)
{
    const std::string& name = displayName.empty() ? path : displayName;
    const ConfigReadFault fault = ParseConfigurationFile(path, state.disk);
    switch (fault.kind) {
    case ReadFault::None: return 1;
    case ReadFault::Open: ShowErrorBox(*state.ui, GetText(TEXT_CONFIG_OPEN_FAILED) + ": " + name); return 0;
    case ReadFault::Read: ShowErrorBox(*state.ui, GetText(TEXT_CONFIG_READ_FAILED) + ": " + name); return 0;
    case ReadFault::Statement: ReportStatementError(*state.ui, name, fault.line, fault.statement, fault.code); return 0;
    }
    return 0;
}

int WriteConfigurationFile(AppState& state, const std::string& path)
{
    switch (SaveFileSafely(path, FormatConfiguration(state.disk), nullptr, state.saving)) {
    case SaveResult::Saved: return 1;
    case SaveResult::CreateFailed: ShowErrorBox(*state.ui, GetText(TEXT_CONFIG_OPEN_FAILED) + ": " + path); return 0;
    case SaveResult::WriteFailed: ShowErrorBox(*state.ui, GetText(TEXT_CONFIG_WRITE_FAILED) + ": " + path); return 0;
    }
    return 0;
}

} // namespace tarn
