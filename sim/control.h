// The simulator's command line and the operator commands it takes on stdin.
#pragma once

#include "sim/gateway.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn::sim {

struct Options {
    std::string link_dir = "kx940-sim";
    std::string config_file;     // empty: the built-in installation
    bool empty = false;          // the built-in default configuration without any unit
    bool wire_timing = false;
    int turnaround_ms = 0;
    long long fail_after = -1;   // requests answered before the gateway falls silent; -1 never
    int tcp_port = -1;           // serve TCP on 127.0.0.1 (serial link here, Modbus on the next
                                 // port) instead of pseudo-terminals; 0 picks a free pair; -1 no
    int net_latency_ms = 0;      // extra delay of each reply, as a network adds it
    bool help = false;
};

// false with a message in error for an unknown option or a bad value.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
const char* UsageText();

enum class CommandKind { Silence, Garble, Hangup, Found, Value, Input, Line, Override, Stats, Mangle };

struct ControlCommand {
    CommandKind kind;
    std::vector<long long> args;   // Silence: 1 on, 0 off
};

// One stdin line. Numbers are decimal, or hexadecimal with "0x". false with a message in error
// for an unknown command or wrong arguments; an empty line is neither (kind unset, returns false
// with an empty error).
bool ParseControlCommand(std::string_view line, ControlCommand& command, std::string& error);

// Applies found, value, input, line and override to the gateway at now_ms; false with a
// message when the gateway refuses the numbers.
bool ApplyToGateway(Gateway& gateway, const ControlCommand& command, std::string& error, std::int64_t now_ms = 0);

} // namespace tarn::sim
