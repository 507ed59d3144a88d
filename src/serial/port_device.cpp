#include "serial/port_device.h"

#include "link/network_port.h"
#include "serial/qt_serial_device.h"
#include "serial/tcp_serial_device.h"

namespace tarn {

LinkError PortDevice::Open(const std::string& device, const LineSettings& settings)
{
    Close();
    if (IsNetworkPortName(device)) device_ = std::make_unique<TcpSerialDevice>();
    else device_ = std::make_unique<QtSerialDevice>();
    return device_->Open(device, settings);
}

void PortDevice::Close()
{
    if (device_) device_->Close();
}

bool PortDevice::IsOpen() const { return device_ && device_->IsOpen(); }

void PortDevice::PurgeInput()
{
    if (device_) device_->PurgeInput();
}

void PortDevice::ClearErrors()
{
    if (device_) device_->ClearErrors();
}

LinkError PortDevice::Write(const std::uint8_t* data, std::size_t size, int timeout_ms)
{
    if (!device_) return {LinkErrorKind::Other, "port not open"};
    return device_->Write(data, size, timeout_ms);
}

LinkError PortDevice::Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                           int terminator)
{
    out.clear();
    if (!device_) return {LinkErrorKind::Other, "port not open"};
    return device_->Read(out, max_bytes, total_ms, interval_ms, terminator);
}

SerialDeviceFactory PortDevices()
{
    return []() -> std::unique_ptr<SerialDevice> { return std::make_unique<PortDevice>(); };
}

} // namespace tarn
