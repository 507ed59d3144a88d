// What the commissioning report tells of a gateway, gathered over its links: the comparison
// of the configuration with the gateway's, the units found and the quality of their field
// lines, and one snapshot of the live values over Modbus. Texts are Windows-1252 in the
// current language; the drawing is the printing side's.
#pragma once

#include "session/session.h"

#include <array>
#include <string>
#include <vector>

namespace tarn {

struct ComparedItem {
    std::string section;  // "Master", "Slave 2", as the comparison report heads its blocks
    std::string label;
    std::string fileValue, gatewayValue;
};

struct PositionReading {
    std::string unitFound;     // empty: no unit
    std::string line1, line2;  // quality in % of field lines 1 and 2
};

struct LiveReading {
    int unit = 0;     // 1..4
    int channel = 0;  // 1..64
    std::string tag;  // of the channel in the configuration
    std::string value, measure;
    std::string state;  // ON/OFF/OPEN/SHORT of a digital channel; ok, or off for an analog channel switched off
};

struct CommissioningData {
    std::vector<ComparedItem> differences;  // in the order of the comparison report
    int equalItems = 0;
    std::array<PositionReading, 4> positions{};
    bool withModbus = false;
    std::vector<LiveReading> live;  // the cells drawn with a value, unit by unit
};

enum class CommissioningOutcome { Equal, Differs, GatewayFailed };

// The items of a comparison report (as CompareConfigurations writes it) with the verdict Error,
// and the number of the others.
void SplitComparisonReport(const std::string& report, std::vector<ComparedItem>& differences, int& equalItems);

// Compares the current image with the gateway over the serial port of the session, reads the
// status control once (leaving the gateway's control word as the status control does), and with
// withModbus reads every unit's live values once over the session's Modbus port with the
// current image's Modbus line. Failures are reported through the session's interface as the
// menu commands report them; the comparison report itself is not shown.
CommissioningOutcome GatherCommissioningData(Session& session, bool withModbus, CommissioningData& data);

} // namespace tarn
