// Configuration files (".mcf"): one System configuration as keyword statements.
// The writer writes the disk image, the reader reads into it; the pure
// functions below do the same on any image and show nothing.
#pragma once

#include "config/app_state.h"
#include "config/model.h"
#include "config/statement_reader.h"

#include <istream>
#include <span>
#include <string>

namespace tarn {

using ConfigReadFault = ReadFault;

enum ConfigKeyword : int {
    KW_MASTER_TAG = 1,
    KW_ORGANIZATION,
    KW_ADDRESS_1,
    KW_ADDRESS_2,
    KW_ADDRESS_3,
    KW_ADDRESS_4,
    KW_DOCUMENT,
    KW_OPERATOR_1,
    KW_OPERATOR_2,
    KW_MASTER_CABLE,
    KW_MASTER_FREQ,
    KW_MASTER_REPT,
    KW_MASTER_REPT_MAT,
    KW_MASTER_MOD_ADDR,
    KW_MASTER_MOD_BAUD,
    KW_MASTER_MOD_FORM,
    KW_MASTER_MOD_CONFIG,
    KW_SLAVE_TYPE,
    KW_SLAVE_EXP,
    KW_SLAVE_CJC,
    KW_CHANNEL,
};

std::span<const Keyword> ConfigurationKeywords();

// The file's bytes: CR LF line breaks, upper-case hexadecimal, always-English
// unit headings. A SLAVE_TYPE other than 1 and 3 is written as an empty position
// (type 0, "Not installed"), the way every other part of the program treats it,
// so that the file reads back.
std::string FormatConfiguration(const SystemConfiguration& image);

// Reads statements over whatever image holds and stops at the first fault; the
// statements before it stay applied. Statement faults carry line, code and the
// cleaned line.
ConfigReadFault ParseConfiguration(std::istream& in, SystemConfiguration& image);
ConfigReadFault ParseConfigurationFile(const std::string& path, SystemConfiguration& image);

// Reads path into state.disk; 1 when every statement was read, 0 after the
// error box. displayName is what the messages call the file (path when empty).
int ReadConfigurationFile(AppState& state, const std::string& path, const std::string& displayName = {});
// Writes state.disk to path (with state.saving); 1 when the whole file was written, 0 after the
// error box. A failed write leaves the previous file as it was.
int WriteConfigurationFile(AppState& state, const std::string& path);

} // namespace tarn
