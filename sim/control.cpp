#include "sim/control.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace tarn::sim {

namespace {

bool ParseInteger(const std::string& text, long long& value)
{
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0';
}

std::vector<std::string> Words(std::string_view line)
{
    std::vector<std::string> words;
    std::istringstream in{std::string(line)};
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

} // namespace

const char* UsageText()
{
    return "usage: kx940-sim [options]\n"
           "A KX940 gateway on two pseudo-terminals (or two TCP ports): the ASCII command set on the serial link,\n"
           "Modbus RTU function 3 on the Modbus link.\n"
           "\n"
           "  --link-dir DIR     make DIR/serial and DIR/modbus point to the two terminals\n"
           "                     (default ./kx940-sim)\n"
           "  --config FILE      program the gateway with a configuration file; the units\n"
           "                     found are the programmed ones\n"
           "  --empty            the built-in default configuration, no unit\n"
           "                     (without --config and --empty: a KX913 with one expansion\n"
           "                     at position 1 and a KX927 at position 2)\n"
           "  --wire-timing      delay and pace replies as a real wire would (serial 19200 baud,\n"
           "                     Modbus at the configured rate)\n"
           "  --turnaround MS    the gateway's extra delay before each reply (default 0)\n"
           "  --fail-after N     stop answering after N answered requests, both links together\n"
           "  --tcp PORT         serve TCP on 127.0.0.1 instead of the terminals: the serial link\n"
           "                     on PORT, the Modbus link on PORT+1, one client each (a new\n"
           "                     connection takes the link over); 0 picks a free pair; prints\n"
           "                     'serial tcp://127.0.0.1:PORT' and 'modbus tcp://...' instead\n"
           "  --net-latency MS   delay each reply by MS more, as a network would (default 0)\n"
           "  --help             this text\n"
           "\n"
           "Analog readings settle after a change with the time constant of the channel's filter\n"
           "(none, 100, 200, 300 ms) and carry a little noise. During a calibration a simulated\n"
           "technician's calibrator sits on channel 1: 0 mV with the millivolt word, 20 mV once the\n"
           "zero step is over, 400.0 Ohm (4 wire) with the resistance word. The factory test's\n"
           "Modbus request (address 1, register 0) is answered whatever the configured address.\n"
           "\n"
           "Prints 'serial PATH', 'modbus PATH' and 'ready', then serves until SIGINT or SIGTERM.\n"
           "Runs at the lowest real-time priority where allowed, so that the load of the PC does\n"
           "not change its timing.\n"
           "Commands on stdin, one a line, each answered with 'ok' (or 'error' and a reason on stderr):\n"
           "  silence on|off          stop / resume answering\n"
           "  garble N                corrupt the next N replies\n"
           "  hangup                  close both terminals, as if the adapter were pulled\n"
           "  found UNIT WORD         the Unit descriptor word of the unit really present\n"
           "  value UNIT INDEX RAW    pin the reading D<UNIT>.<INDEX> (digital: INDEX = group 1..4)\n"
           "  input UNIT CHANNEL SIG  apply a signal to an analog input, in the channel type's raw\n"
           "                          units; the reading follows the unit's calibration\n"
           "  line UNIT L1 L2         receive-error figures of both lines (0 good .. 100 lost); in\n"
           "                          diagnostic mode (S0.05 bit 0x1000) the gateway reports the\n"
           "                          telegrams lost since the mode began, 10 a second at 100\n"
           "  override 0|1|2          hold the gateway on line 1 or 2 (0: none)\n"
           "  mangle N                the next N tag writes store '?' for the tag's first\n"
           "                          character, while the reply echoes the tag as written\n"
           "  stats                   prints 'stats serial_in=N serial_out=N modbus_in=N\n"
           "                          modbus_out=N requests=N' instead of 'ok'\n";
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        // A whole number 0..most (no limit when most < 0); error names what the option takes.
        auto number = [&](long long most, const std::string& takes, long long& out) {
            std::string v;
            if (!value(v)) return false;
            if (!ParseInteger(v, out) || out < 0 || (most >= 0 && out > most)) {
                error = a + " takes " + takes + ", not '" + v + "'";
                return false;
            }
            return true;
        };
        long long n = 0;
        if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--wire-timing") {
            options.wire_timing = true;
        } else if (a == "--empty") {
            options.empty = true;
        } else if (a == "--link-dir") {
            if (!value(options.link_dir)) return false;
            if (options.link_dir.empty()) {
                error = "--link-dir needs a directory";
                return false;
            }
        } else if (a == "--config") {
            if (!value(options.config_file)) return false;
        } else if (a == "--turnaround") {
            if (!number(10000, "0..10000 ms", n)) return false;
            options.turnaround_ms = static_cast<int>(n);
        } else if (a == "--tcp") {
            if (!number(65534, "a port 0..65534", n)) return false;
            options.tcp_port = static_cast<int>(n);
        } else if (a == "--net-latency") {
            if (!number(10000, "0..10000 ms", n)) return false;
            options.net_latency_ms = static_cast<int>(n);
        } else if (a == "--fail-after") {
            if (!number(-1, "a count of requests", n)) return false;
            options.fail_after = n;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (options.empty && !options.config_file.empty()) {
        error = "--empty and --config exclude each other";
        return false;
    }
    return true;
}

bool ParseControlCommand(std::string_view line, ControlCommand& command, std::string& error)
{
    error.clear();
    const std::vector<std::string> w = Words(line);
    if (w.empty()) return false;
    struct Form {
        const char* name;
        CommandKind kind;
        std::size_t numbers;
    };
    static const Form forms[] = {
        {"garble", CommandKind::Garble, 1},   {"hangup", CommandKind::Hangup, 0}, {"found", CommandKind::Found, 2},
        {"value", CommandKind::Value, 3},     {"input", CommandKind::Input, 3},   {"line", CommandKind::Line, 3},
        {"override", CommandKind::Override, 1}, {"stats", CommandKind::Stats, 0}, {"mangle", CommandKind::Mangle, 1},
    };
    if (w[0] == "silence") {
        if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) {
            error = "usage: silence on|off";
            return false;
        }
        command = {CommandKind::Silence, {w[1] == "on" ? 1 : 0}};
        return true;
    }
    for (const Form& f : forms) {
        if (w[0] != f.name) continue;
        if (w.size() != f.numbers + 1) {
            error = std::string(f.name) + " takes " + std::to_string(f.numbers) + " number(s)";
            return false;
        }
        command = {f.kind, {}};
        for (std::size_t i = 1; i < w.size(); ++i) {
            long long n = 0;
            if (!ParseInteger(w[i], n)) {
                error = "not a number: '" + w[i] + "'";
                return false;
            }
            command.args.push_back(n);
        }
        if (f.kind == CommandKind::Garble && command.args[0] < 0) {
            error = "garble takes a count";
            return false;
        }
        return true;
    }
    error = "unknown command '" + w[0] + "'";
    return false;
}

bool ApplyToGateway(Gateway& gateway, const ControlCommand& command, std::string& error, std::int64_t now_ms)
{
    const auto& a = command.args;
    auto in = [](long long v, long long lo, long long hi) { return v >= lo && v <= hi; };
    bool ok = false;
    switch (command.kind) {
    case CommandKind::Found:
        ok = in(a[0], 1, 4) && in(a[1], 0, 0xFF) && gateway.SetFound(int(a[0]), std::uint32_t(a[1]));
        break;
    case CommandKind::Value:
        ok = in(a[0], 1, 4) && in(a[1], 1, 64) && in(a[2], -32768, 65535) &&
             gateway.PinValue(int(a[0]), int(a[1]), std::uint32_t(a[2] < 0 ? a[2] + 65536 : a[2]));
        break;
    case CommandKind::Input:
        ok = in(a[0], 1, 4) && in(a[1], 1, 64) && in(a[2], -100000, 100000) &&
             gateway.ApplyInput(int(a[0]), int(a[1]), std::int32_t(a[2]), now_ms);
        break;
    case CommandKind::Line:
        ok = in(a[0], 1, 4) && in(a[1], 0, 0xFFFF) && in(a[2], 0, 0xFFFF) &&
             gateway.SetLineFigures(int(a[0]), std::uint32_t(a[1]), std::uint32_t(a[2]));
        break;
    case CommandKind::Override:
        ok = in(a[0], 0, 2) && gateway.SetOverride(int(a[0]));
        break;
    case CommandKind::Mangle:
        ok = in(a[0], 0, 100000);
        if (ok) gateway.MangleTagWrites(int(a[0]));
        break;
    default:
        error = "not a gateway command";
        return false;
    }
    if (!ok) error = "value out of range";
    return ok;
}

} // namespace tarn::sim
