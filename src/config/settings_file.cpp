#include "config/settings_file.h"

#include "config/safe_file.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tarn {

namespace fs = std::filesystem;

namespace {

constexpr Keyword kSettingsKeywords[] = {
    {"SERIALPORT", SETTING_SERIALPORT},
    {"MODBUSPORT", SETTING_MODBUSPORT},
    {"LANGUAGE", SETTING_LANGUAGE},
    {"NETLATENCY", SETTING_NETLATENCY},
    {"VERIFYWRITE", SETTING_VERIFYWRITE},
};

constexpr unsigned kMaxComNumber = 256;
constexpr unsigned kMaxLanguage = 1;

bool allDigits(const std::string& s)
{
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Saturating, so that a long run of digits is simply too large.
unsigned long decimalValue(const std::string& digits)
{
    unsigned long value = 0;
    for (char c : digits) {
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 1000000) return 1000000;
    }
    return value;
}

// "  SERIALPORT  " and "  MODBUSPORT  " are 14 characters; the quotes take two more.
constexpr std::size_t kPortLinePrefix = 14;

bool nameReadsBack(const std::string& name)
{
    if (name.size() + kPortLinePrefix + 2 > STATEMENT_LINE_LENGTH) return false;
    for (char c : name)
        if (c == '"' || static_cast<unsigned char>(c) < 32) return false;
    return true;
}

std::string portLine(const char* key, const PortSetting& port)
{
    std::string line = std::string("  ") + key + "  ";
    if (!port.name.empty() && nameReadsBack(port.name)) return line + "\"" + port.name + "\"\r\n";
    const bool numberReadsBack = port.name.empty() && port.number >= 0
                                 && port.number <= static_cast<int>(kMaxComNumber);
    return line + std::to_string(numberReadsBack ? port.number : 0) + "\r\n";
}

} // namespace

std::span<const Keyword> SettingsKeywords() { return kSettingsKeywords; }

ReadFault ParseSettings(std::istream& in, Settings& settings)
{
    return ReadStatements(in, 2, [&settings](StatementTokens& t) -> int {
        const std::string& value = t.fields[0];
        if (!t.fields[1].empty()) return STATEMENT_TOO_MANY_FIELDS;
        const int position = FindKeyword(SettingsKeywords(), t.keyword);
        if (position < 0) return STATEMENT_BAD_NAME;
        const int key = SettingsKeywords()[static_cast<std::size_t>(position)].id;

        const bool isPort = key == SETTING_SERIALPORT || key == SETTING_MODBUSPORT;
        if (isPort && !value.empty() && value.front() == '"') {
            auto name = ParseQuotedText(value);
            if (!name) return STATEMENT_BAD_FORMAT;
            PortSetting port;
            port.name = std::move(*name);
            (key == SETTING_SERIALPORT ? settings.serialPort : settings.modbusPort) = std::move(port);
            return 0;
        }
        if (!allDigits(value)) return STATEMENT_BAD_FORMAT;
        if (value.empty()) return STATEMENT_BAD_FORMAT;
        const unsigned long number = decimalValue(value);
        const unsigned long largest = key == SETTING_LANGUAGE || key == SETTING_VERIFYWRITE ? kMaxLanguage
                                      : key == SETTING_NETLATENCY ? static_cast<unsigned long>(NETWORK_LATENCY_MAX_MS)
                                                                  : kMaxComNumber;
        if (number > largest) return STATEMENT_BAD_VALUE;

        switch (key) {
        case SETTING_SERIALPORT: settings.serialPort = PortSetting{static_cast<int>(number), {}}; break;
        case SETTING_MODBUSPORT: settings.modbusPort = PortSetting{static_cast<int>(number), {}}; break;
        case SETTING_NETLATENCY: settings.netLatencyMs = static_cast<int>(number); break;
        case SETTING_VERIFYWRITE: settings.verifyAfterWrite = number != 0; break;
        default: settings.language = static_cast<int>(number); break;
        }
        return 0;
    });
}

std::string FormatSettings(const Settings& settings)
{
    std::string text = "// Initialization file of program Tarn.exe\r\n\r\n";
    text += portLine("SERIALPORT", settings.serialPort);
    text += portLine("MODBUSPORT", settings.modbusPort);
    // Only 0 and 1 read back; any other language value shows the Italian table anyway.
    text += "  LANGUAGE    " + std::to_string(settings.language == 0 ? 0 : 1) + "\r\n";
    // Only a latency that reads back, and only when there is one: older programs stop at a name
    // they do not know, and a file without network ports stays as they wrote it.
    if (settings.netLatencyMs > 0 && settings.netLatencyMs <= NETWORK_LATENCY_MAX_MS)
        text += "  NETLATENCY  " + std::to_string(settings.netLatencyMs) + "\r\n";
    if (settings.verifyAfterWrite) text += "  VERIFYWRITE 1\r\n";
    return text;
}

std::string SettingsFilePath(const AppState& state)
{
    const std::string& folder = state.startDirectory;
    if (folder.empty()) return SETTINGS_FILE_NAME;
    return (fs::path(folder) / SETTINGS_FILE_NAME).string();
}

int ReadSettingsFile(AppState& state)
{
    std::error_code ec;
    state.startDirectory = fs::current_path(ec).string();
    const std::string path = SettingsFilePath(state);

    auto apply = [&state](const Settings& s) {
        state.serialPort = s.serialPort;
        state.modbusPort = s.modbusPort;
        state.netLatencyMs = s.netLatencyMs;
        state.verifyAfterWrite = s.verifyAfterWrite;
        if (GetLanguage() != s.language) {
            SetLanguage(s.language);
            state.RequestRefresh(ViewRefresh::Full);
        }
    };

    // No file yet (first start): every setting 0; the file is written at exit.
    if (fs::status(path, ec).type() == fs::file_type::not_found) {
        apply(Settings{});
        return 1;
    }

    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        ShowErrorBox(*state.ui, GetText(TEXT_SETTINGS_OPEN_FAILED));
        return 0;
    }
    Settings settings{state.serialPort, state.modbusPort, GetLanguage(), state.netLatencyMs, state.verifyAfterWrite};
    const ReadFault fault = ParseSettings(in, settings);
    // Applied before any message, so a LANGUAGE statement ahead of a fault already counts.
    apply(settings);
    switch (fault.kind) {
    case ReadFault::None: return 1;
    case ReadFault::Statement: ReportStatementError(*state.ui, SETTINGS_FILE_NAME, fault.line, fault.statement, fault.code); return 0;
    default: ShowErrorBox(*state.ui, GetText(TEXT_SETTINGS_READ_FAILED)); return 0;
    }
}

void WriteSettingsFile(const AppState& state)
{
    const Settings settings{state.serialPort, state.modbusPort, GetLanguage(), state.netLatencyMs, state.verifyAfterWrite};
    switch (SaveFileSafely(SettingsFilePath(state), FormatSettings(settings), nullptr, state.saving)) {
    case SaveResult::Saved: break;
    case SaveResult::CreateFailed: ShowErrorBox(*state.ui, GetText(TEXT_SETTINGS_OPEN_FAILED)); break;
    case SaveResult::WriteFailed: ShowErrorBox(*state.ui, GetText(TEXT_SETTINGS_WRITE_FAILED)); break;
    }
}

} // namespace tarn
