#include "link/serial_device.h"

#include <utility>

namespace tarn {

namespace {
SerialDeviceFactory& Factory()
{
    static SerialDeviceFactory factory;
    return factory;
}
} // namespace

void SetSerialDeviceFactory(SerialDeviceFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<SerialDevice> CreateSerialDevice()
{
    const SerialDeviceFactory& factory = Factory();
    return factory ? factory() : nullptr;
}

} // namespace tarn
