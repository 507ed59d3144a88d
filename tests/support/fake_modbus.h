// Modbus answers on the fake gateway's line, for tests that hold both links open at
// once (every fake device shares the one line): a write that does not start with an
// upper-case command letter is a Modbus frame and goes to the handler, the rest to
// the gateway's ASCII responder. Install after FakeGateway::Reset.
#pragma once

#include "link/modbus_frame.h"
#include "support/fake_gateway.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tarn::testing {

inline void AnswerModbus(FakeGateway& gateway, std::function<FakeReply(const Bytes& frame)> handler)
{
    auto ascii = gateway.line().responder;
    gateway.line().responder = [ascii = std::move(ascii), handler = std::move(handler)](const Bytes& written) {
        if (!written.empty() && written[0] >= 'A' && written[0] <= 'Z') return ascii(written);
        return handler(written);
    };
}

// The reply frame to a read of one holding register, CRC included.
inline FakeReply OneRegisterReply(std::uint8_t slave, std::uint16_t value)
{
    const std::uint8_t payload[] = {slave, 3, 2, static_cast<std::uint8_t>(value >> 8),
                                    static_cast<std::uint8_t>(value & 0xFF)};
    return FakeReply::Raw(ModbusFrame(payload, sizeof payload));
}

} // namespace tarn::testing
