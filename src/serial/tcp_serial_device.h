// The serial device of a port behind a serial device server ("tcp://HOST:PORT"): the
// bytes of the line travel raw over one TCP connection (RTU frames as they are, no
// Modbus TCP header). The device server keeps its own line settings, so the settings
// given to Open are accepted and not used. Used synchronously, without an event loop,
// as QtSerialDevice is. Every error's reason begins with the port's name.
#pragma once

#include "link/serial_device.h"

#include <QTcpSocket>

#include <memory>
#include <string>
#include <vector>

namespace tarn {

class TcpSerialDevice : public SerialDevice {
public:
    // The whole of Open, the name lookup included, ends within this many ms.
    static constexpr int CONNECT_LIMIT_MS = 3000;

    TcpSerialDevice();
    ~TcpSerialDevice() override;
    TcpSerialDevice(const TcpSerialDevice&) = delete;
    TcpSerialDevice& operator=(const TcpSerialDevice&) = delete;

    LinkError Open(const std::string& device, const LineSettings& settings) override;
    void Close() override;
    bool IsOpen() const override;
    void PurgeInput() override;
    void ClearErrors() override {}
    LinkError Write(const std::uint8_t* data, std::size_t size, int timeout_ms) override;
    LinkError Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                   int terminator = -1) override;

private:
    LinkError Connect(const std::string& device);
    LinkError WriteAll(const std::uint8_t* data, std::size_t size, int timeout_ms);
    LinkError ReadUntil(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                        int terminator);
    LinkError GoAway(std::string reason);
    LinkError NotOpen() const;

    std::unique_ptr<QTcpSocket> socket_;
    std::string name_;
    bool gone_ = false;
};

} // namespace tarn
