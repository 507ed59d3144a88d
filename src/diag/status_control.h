// The multiplexer status control (command 4300): which unit the gateway finds at
// each position, the quality of the two field lines towards it (or, in the
// gateway's diagnostic mode, the raw receive-error figures), and whether the
// gateway is held on one line. The dialog runs Start once, Tick every 200 ms and
// the button actions; any of them returning false ends the dialog with result 0.
// The serial link is open for the whole dialog (StatusControlCommand). Every figure
// shown was read whole and within its range: a reply without one, or with one out of
// range, is a failed exchange.
#pragma once

#include "link/link.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace tarn {

inline constexpr int STATUS_CONTROL_TICK_MS = 200;

// Gateway control word S0.05.
inline constexpr std::uint32_t CONTROL_DIAGNOSTIC_MODE = 0x1000;
inline constexpr std::uint32_t CONTROL_CLEAR_OVERRIDE = 0x0100;
inline constexpr std::uint32_t CONTROL_OVERRIDE_MASK = 0x00C0;
inline constexpr std::uint32_t CONTROL_HELD_ON_LINE1 = 0x0040;
inline constexpr std::uint32_t CONTROL_HELD_ON_LINE2 = 0x0080;

// Receive-error figures n.05 and n.06: the share of telegrams lost in %, or in diagnostic mode
// the count lost since the mode began.
inline constexpr std::uint32_t LINE_FIGURE_QUALITY_MAX = 100;
inline constexpr std::uint32_t LINE_FIGURE_RAW_MAX = 0xFFFF;

// The description of a unit from its Unit descriptor word: "KX913", "KX913 + 2 x KX914",
// "KX927", or empty for no unit.
std::string UnitDescriptionText(std::uint32_t descriptor);

class StatusControl {
public:
    explicit StatusControl(GatewayLinks& links) : links_(links) {}

    struct Position {
        std::uint32_t found = 0;  // setting n.01, the Unit descriptor word of the unit present
        std::uint32_t line1 = 0;  // settings n.05 and n.06, receive-error figures of the lines
        std::uint32_t line2 = 0;
        bool read = false;        // the figures above come from the gateway
    };

    // Opening: S0.02 as a communication check, then S0.05 = 0 (diagnostic mode off).
    bool Start();
    // S0.05 for the override state, then n.03, n.01, n.05 and n.06 of every position. The
    // tick ends at the first failed read.
    bool Tick();
    // S0.05 = (S0.05 AND 0x1000) OR 0x0100: the clear request, the diagnostic bit kept.
    bool ClearLineOverride();
    // S0.05 = 0x1000 or 0. The figures change meaning from the next tick on.
    bool SetDiagnosticMode(bool on);
    // S0.05 = 0, its result not looked at.
    void Cancel();
    // After a failed exchange: one attempt to write S0.05 = 0 when the gateway may be in
    // diagnostic mode (this dialog wrote the bit, or read it back, and wrote no word without it
    // since). false only when that attempt failed.
    bool SwitchOffAfterFailure();
    bool DiagnosticModeMayBeOn() const { return diagnosticMayBeOn_; }

    bool DiagnosticMode() const { return diagnostic_; }
    const Position& At(int position) const { return positions_[position]; }  // 0..3
    // The bold description of a position; empty before its first reading.
    std::string Description(int position) const;
    // "%d " of 100 - figure (quality), or of the figure itself when the last tick read the
    // figures in diagnostic mode; empty before the first reading. line 1 or 2.
    std::string LineFigureText(int position, int line) const;
    // "Quality of Slave n Line l", or "Receive Errors of Slave n Line l" while the figures
    // shown are raw ones.
    std::string LineLabel(int position, int line) const;
    // The bus pictures of line 1 (held on line 1) and of line 2.
    bool Line1BusShown() const { return overrideBits_ == CONTROL_HELD_ON_LINE1; }
    bool Line2BusShown() const { return overrideBits_ == CONTROL_HELD_ON_LINE2; }

private:
    bool WriteControl(std::uint32_t word);

    GatewayLinks& links_;

    std::array<Position, 4> positions_{};
    std::uint32_t overrideBits_ = 0;
    bool diagnostic_ = false;
    bool rawFigures_ = false;  // the figures of the last tick were read in diagnostic mode
    bool diagnosticMayBeOn_ = false;
};

// Command 4300 around runDialog, which runs the dialog on the engine it is given and returns 1
// after Cancel and 0 after a failed exchange: opens the serial link (text 228 and nothing more
// when it cannot), runs the dialog, writes S0.05 = 0 after Cancel; after a failure it switches
// diagnostic mode off when the dialog may have left it on and shows text 395 (with text 399 as
// the details when that last write failed too). Then it closes the link and asks for a full refresh.
void StatusControlCommand(GatewayLinks& links, const std::function<int(StatusControl&)>& runDialog);

} // namespace tarn
