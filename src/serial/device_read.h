// What the serial and the network device share: the read of a reply from a QIODevice, the
// wait arithmetic, and errors that start with the port's name.
#pragma once

#include "link/serial_device.h"

#include <QIODevice>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarn {

// Milliseconds left until deadline, rounded up so that a wait never ends early; 0 when past.
int MsUntil(std::chrono::steady_clock::time_point deadline);

// The error with the port's name in front of its reason ("/dev/ttyUSB0: …"); no error stays none.
LinkError Named(LinkError error, const std::string& name);

// Reads into out (cleared first) until max_bytes, the terminator byte (-1 = none), interval_ms of
// silence after a byte (0 = none), or total_ms from the start. Bytes behind a terminator stay
// unread. waitForMore(ms) waits up to ms (> 0) for bytes and returns an error that ends the read
// (the port or the connection gone), or nothing to read on.
LinkError ReadReply(QIODevice& device, std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms,
                    int interval_ms, int terminator, const std::function<std::optional<LinkError>(int ms)>& waitForMore);

} // namespace tarn
