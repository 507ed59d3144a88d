#include "link/link.h"

#include "config/app_state.h"
#include "link/modbus_frame.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

namespace tarn {

namespace {

struct LinkState {
    std::unique_ptr<SerialDevice> serial;
    std::unique_ptr<SerialDevice> modbus;
    std::string serialPath, modbusPath;  // of the devices opened, for the messages
    int modbusIntervalMs = 0;
    LinkError lastError;
};

LinkState& Links()
{
    static LinkState links;
    return links;
}

int Fail(LinkError error)
{
    Links().lastError = std::move(error);
    return 0;
}

void CloseDevice(std::unique_ptr<SerialDevice>& device)
{
    if (!device) return;
    device->Close();
    device.reset();
}

// Opens path with settings into device. Nothing is created for an empty path.
int OpenDevice(std::unique_ptr<SerialDevice>& device, std::string& openedPath, const std::string& path,
               const LineSettings& settings)
{
    CloseDevice(device);
    openedPath = path;
    Links().lastError = {};
    if (path.empty()) return Fail({LinkErrorKind::NoPort, {}});
    std::unique_ptr<SerialDevice> opened = CreateSerialDevice();
    if (!opened) return Fail({LinkErrorKind::Other, "no serial port support installed"});
    LinkError error = opened->Open(path, settings);
    if (error) {
        // A device whose line setup failed is released at once, not at the next close.
        opened->Close();
        return Fail(std::move(error));
    }
    device = std::move(opened);
    return 1;
}

// A device that has gone stays gone: later exchanges fail without waiting for time-outs.
bool Usable(const std::unique_ptr<SerialDevice>& device, const std::string& path)
{
    if (!device) {
        Links().lastError = {LinkErrorKind::Other, "link not open"};
        return false;
    }
    if (!device->IsOpen()) {
        Links().lastError = {LinkErrorKind::DeviceGone, path + ": device no longer available"};
        return false;
    }
    return true;
}

} // namespace

std::optional<ModbusLine> ModbusLineFor(std::uint32_t baudIndex, std::uint32_t formIndex)
{
    struct Rate {
        int baud;
        int interval_ms;
    };
    static constexpr Rate rates[] = {{4800, 48}, {9600, 24}, {19200, 12}, {38400, 6}, {57600, 4}, {115200, 2}};
    struct Format {
        Parity parity;
        int stop_bits;
    };
    static constexpr Format formats[] = {{Parity::None, 1}, {Parity::Even, 1}, {Parity::Odd, 1}, {Parity::None, 2}};
    if (baudIndex >= std::size(rates) || formIndex >= std::size(formats)) return std::nullopt;
    ModbusLine line;
    line.settings.baud = rates[baudIndex].baud;
    line.settings.data_bits = 8;
    line.settings.parity = formats[formIndex].parity;
    line.settings.stop_bits = formats[formIndex].stop_bits;
    line.interval_ms = rates[baudIndex].interval_ms;
    return line;
}

int OpenSerialLink()
{
    return OpenDevice(Links().serial, Links().serialPath, State().serialPort.DevicePath(),
                      LineSettings{19200, 8, Parity::None, 1});
}

int OpenSerialLinkWithMessage()
{
    if (OpenSerialLink()) return 1;
    ShowErrorBoxWithDetails(GetText(228), LastLinkError().reason);
    return 0;
}

void CloseSerialLink() { CloseDevice(Links().serial); }

bool SerialLinkOpen() { return Links().serial != nullptr; }

int SerialExchange(const std::string& request, std::string& reply)
{
    LinkState& links = Links();
    reply.clear();
    links.lastError = {};

    // The request is a C text: it ends at a NUL byte. One of 50 characters or more does not fit
    // the gateway's line buffer and is not sent; the terminator alone still goes out.
    std::string bytes = request.substr(0, request.find('\0'));
    if (bytes.size() >= SERIAL_REPLY_CAPACITY) bytes.clear();
    bytes += '\r';

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Usable(links.serial, links.serialPath)) return 0;
        SerialDevice& device = *links.serial;
        device.PurgeInput();
        device.ClearErrors();
        if (LinkError error = device.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                           SERIAL_WRITE_MS)) {
            const bool gone = error.kind == LinkErrorKind::DeviceGone;
            links.lastError = std::move(error);
            if (gone) return 0;
            continue;
        }
        // The first attempt may end at the gateway's terminator: the reply is the same and the
        // exchange 20 ms shorter. After a time-out the late reply to the first request and the
        // reply to the second arrive close together, so the second attempt ends by silence only
        // and takes both; a copy left unread would become the reply to the next request.
        const int terminator = attempt == 0 ? '\r' : -1;
        std::vector<std::uint8_t> received;
        if (LinkError error = device.Read(received, SERIAL_REPLY_CAPACITY, SERIAL_READ_TOTAL_MS,
                                          SERIAL_READ_INTERVAL_MS, terminator)) {
            const bool gone = error.kind == LinkErrorKind::DeviceGone;
            links.lastError = std::move(error);
            if (gone) return 0;
            continue;
        }
        if (received.empty()) {
            links.lastError = {LinkErrorKind::NoReply, {}};
            continue;
        }
        // A reply is whole only when it ends in the gateway's terminator: one that lost it (a
        // noise hit, a gateway reset, the read time-out) would lose its last digit instead.
        if (received.back() != '\r') {
            links.lastError = {LinkErrorKind::Other, "reply without its carriage return"};
            continue;
        }
        received.pop_back();
        // When the second attempt reads two copies, the last one is the whole reply to the
        // request just sent; the first may have lost its head to the purge.
        const auto previous = std::find(received.rbegin(), received.rend(), '\r');
        reply.assign(previous.base(), received.end());
        reply.resize(std::min(reply.size(), reply.find('\0')));
        links.lastError = {};
        return 1;
    }
    return 0;
}

int OpenModbusLink()
{
    CloseModbusLink();
    Links().lastError = {};
    const std::string path = State().modbusPort.DevicePath();
    if (path.empty()) return Fail({LinkErrorKind::NoPort, {}});
    const SystemConfiguration& current = State().current;
    const std::optional<ModbusLine> line = ModbusLineFor(current.MASTER_MOD_BAUD, current.MASTER_MOD_FORM);
    if (!line)
        return Fail({LinkErrorKind::SettingsRefused, "no line settings for baud rate index " +
                                                         std::to_string(current.MASTER_MOD_BAUD) +
                                                         " and format index " +
                                                         std::to_string(current.MASTER_MOD_FORM)});
    if (!OpenDevice(Links().modbus, Links().modbusPath, path, line->settings)) return 0;
    Links().modbusIntervalMs = line->interval_ms;
    return 1;
}

void CloseModbusLink() { CloseDevice(Links().modbus); }

bool ModbusLinkOpen() { return Links().modbus != nullptr; }

int ModbusExchange(const std::uint8_t* request, std::size_t length, std::vector<std::uint8_t>& reply)
{
    LinkState& links = Links();
    reply.clear();
    links.lastError = {};
    if (length > MODBUS_REQUEST_MAX) return Fail({LinkErrorKind::Other, "request longer than 100 bytes"});
    if (!Usable(links.modbus, links.modbusPath)) return 0;
    SerialDevice& device = *links.modbus;

    const std::vector<std::uint8_t> frame = ModbusFrame(request, length);
    device.PurgeInput();
    device.ClearErrors();
    if (LinkError error = device.Write(frame.data(), frame.size(), MODBUS_WRITE_MS)) return Fail(std::move(error));

    // The gateway needs a moment to turn the RS-485 line around. Sleep in 1 ms steps until the
    // monotonic clock says the pause is over; the device keeps what arrives meanwhile.
    const auto written = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - written < std::chrono::milliseconds(MODBUS_TURNAROUND_MS))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    if (LinkError error = device.Read(reply, MODBUS_REPLY_CAPACITY, MODBUS_READ_TOTAL_MS, links.modbusIntervalMs))
        return Fail(std::move(error));
    if (reply.empty()) return Fail({LinkErrorKind::NoReply, {}});
    const int payload = ModbusPayloadLength(reply.data(), reply.size());
    if (payload == 0) return Fail({LinkErrorKind::Other, "reply too short or with a wrong CRC"});
    return payload;
}

const LinkError& LastLinkError() { return Links().lastError; }

} // namespace tarn
