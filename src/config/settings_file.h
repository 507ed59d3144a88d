// The Settings file "KVR5160.Ini" in the start directory: the ports of the two
// links and the language, read at start and written at exit.
#pragma once

#include "config/app_state.h"
#include "config/statement_reader.h"

#include <istream>
#include <span>
#include <string>

namespace tarn {

inline constexpr const char* SETTINGS_FILE_NAME = "KVR5160.Ini";

enum SettingsKey : int { SETTING_SERIALPORT = 1, SETTING_MODBUSPORT = 2, SETTING_LANGUAGE = 3, SETTING_NETLATENCY = 4,
                         SETTING_VERIFYWRITE = 5 };

struct Settings {
    PortSetting serialPort;  // SERIALPORT: COM number 0..256 or a quoted device name
    PortSetting modbusPort;  // MODBUSPORT
    int language = 0;        // LANGUAGE: 0 English, 1 Italian
    int netLatencyMs = 0;    // NETLATENCY: 0..NETWORK_LATENCY_MAX_MS, written only when not 0
    bool verifyAfterWrite = false;  // VERIFYWRITE: 0 or 1, written only when on
    bool operator==(const Settings&) const = default;
};

std::span<const Keyword> SettingsKeywords();

// Reads statements over settings (a key not in the stream keeps its value) and
// stops at the first fault; the statements before it stay applied.
ReadFault ParseSettings(std::istream& in, Settings& settings);
// The file's bytes, CR LF line breaks. A port name that the reader could not take
// back (a double quote or control byte in it, or a line longer than a statement
// line) is written as 0, so a written file never stops the next start.
std::string FormatSettings(const Settings& settings);

// The full path of the Settings file in the start directory.
std::string SettingsFilePath(const AppState& state);

// Records the current directory as the start directory, then reads the file into
// state and the language. A missing file means all three settings 0 and is no
// failure. 1 on success; 0 after the message box of an unreadable file or of the
// first faulty statement.
int ReadSettingsFile(AppState& state);
// Writes the file into the start directory. A failed write leaves the previous
// file as it was and shows its message box.
void WriteSettingsFile(const AppState& state);

} // namespace tarn
