// The comparison of the current configuration with a file or with the gateway:
// a plain-text report, one line per item with its verdict and both values.
#pragma once

#include "config/app_state.h"
#include "config/model.h"

#include <cstdint>
#include <string>

namespace tarn {

// Appends the item lines comparing first (always the current image) with second to report,
// CR LF line ends. Returns the number of items whose verdict is Error. The report is not
// capped: a comparison of four fully configured KX913 units is kept whole.
int CompareConfigurations(std::string& report, const SystemConfiguration& first,
                          const SystemConfiguration& second);

// The report with only its Error items, each under its heading (Master, or the unit's):
// the header line, then a heading line before the first Error item of its part. A part
// without an Error item leaves nothing.
std::string DifferencesOnly(const std::string& report);

// The header line of a report against a file (three tabs) and against the gateway (one tab).
std::string DiskComparisonHeader();
std::string GatewayComparisonHeader();

// The value texts of the report, in the current language.
std::string AnalogChannelDescription(std::uint32_t word);
std::string DigitalChannelDescription(std::uint32_t word);
std::string ColdJunctionReferenceText(std::int32_t reference); // tenths of a degree Celsius

// Compare Configuration with Disk: the user chooses a file, it is read into the disk image
// and compared with the current image; the report (state.comparisonReport, error count in
// state.comparisonErrors) is shown. 1 when a report was shown, 0 when the choice was
// cancelled or the file could not be read (the reader has reported why).
int CompareWithDisk(AppState& state);

} // namespace tarn
