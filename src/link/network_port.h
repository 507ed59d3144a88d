// Ports reached over the network: a serial device server (RS-232/RS-485 to Ethernet in
// raw TCP server mode, or ser2net) passes the bytes of the line through a TCP connection.
// Such a port is named "tcp://HOST:PORT"; HOST is an IPv4 address, an IPv6 address in
// brackets or a host name.
#pragma once

#include <optional>
#include <string>

namespace tarn {

struct NetworkPort {
    std::string host;  // without the brackets of an IPv6 address
    int port = 0;      // 1..65535
    bool operator==(const NetworkPort&) const = default;
};

// The host and port of a "tcp://HOST:PORT" name (the scheme in any letter case); nothing
// for any other name, a missing or empty host, or a port outside 1..65535.
std::optional<NetworkPort> ParseNetworkPort(const std::string& name);

// Whether name is meant as a network port (starts with "tcp://" in any letter case), well
// formed or not: such a name is never opened as a serial device.
bool IsNetworkPortName(const std::string& name);

} // namespace tarn
