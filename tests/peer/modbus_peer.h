// A Modbus RTU server of libmodbus serving holding registers, for framing tests of
// our Modbus link against an implementation that is not ours. It listens on one
// pseudo-terminal; a relay joins that one to a second, whose slave our device opens.
// The relay counts the bytes our side sends.
#pragma once

#include "serial/pty_pair.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace tarn::testing {

class ModbusPeer {
public:
    // Holding registers 0 .. REGISTER_COUNT - 1, each holding RegisterValue(address).
    static constexpr int REGISTER_COUNT = 0x500;
    static std::uint16_t RegisterValue(int address) { return static_cast<std::uint16_t>(address * 0x0101 ^ 0xA5C3); }

    ModbusPeer(int slave, int baud);
    ~ModbusPeer();
    ModbusPeer(const ModbusPeer&) = delete;
    ModbusPeer& operator=(const ModbusPeer&) = delete;

    // Empty once the server is listening; else what went wrong.
    const std::string& Error() const { return error_; }
    // The port our device opens.
    const std::string& PortPath() const { return ours_.SlavePath(); }
    // Bytes our side has sent so far, and requests the server has answered.
    long long BytesFromUs() const { return bytesFromUs_; }
    int Answered() const { return answered_; }

private:
    void Relay();
    void Serve(int slave, int baud);

    PtyPair ours_;    // our device on the slave
    PtyPair theirs_;  // libmodbus on the slave
    std::string error_;
    std::atomic<bool> stop_{false};
    std::atomic<int> state_{0};  // 0 starting, 1 listening, 2 failed (error_ set before)
    std::atomic<long long> bytesFromUs_{0};
    std::atomic<int> answered_{0};
    std::thread relay_;
    std::thread server_;
};

} // namespace tarn::testing
