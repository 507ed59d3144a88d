// The one place that decides what kind of device a port name opens: a network port
// ("tcp://HOST:PORT", see link/network_port.h) a TcpSerialDevice, anything else a
// QtSerialDevice. The choice is made at each Open, on the thread that opens.
#pragma once

#include "link/serial_device.h"

#include <memory>
#include <string>
#include <vector>

namespace tarn {

class PortDevice : public SerialDevice {
public:
    LinkError Open(const std::string& device, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override;
    void PurgeInput() override;
    void ClearErrors() override;
    LinkError Write(const std::uint8_t* data, std::size_t size, int timeout_ms) override;
    LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                   int terminator = -1) override;

private:
    std::unique_ptr<SerialDevice> device_;
};

// The factory of blocking port devices (tarnctl, benchmarks, tests without a window).
SerialDeviceFactory PortDevices();

} // namespace tarn
