#include "link/link.h"

#include "link/modbus_frame.h"
#include "link/network_port.h"
#include "text/text_ids.h"
#include "text/texts.h"
#include "text/user_interface.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <utility>

namespace tarn {

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

Link::Link(std::unique_ptr<SerialDevice> device, std::string path, const LineSettings& settings, int silenceMs)
    : path_(std::move(path)), silenceMs_(silenceMs)
{
    if (path_.empty()) {
        openError_ = {LinkErrorKind::NoPort, {}};
        return;
    }
    if (!device) {
        openError_ = {LinkErrorKind::Other, "no serial port support installed"};
        return;
    }
    openError_ = device->Open(path_, settings);
    if (openError_) {
        // A device whose line setup failed is released at once, not at the next close.
        device->Close();
        return;
    }
    device_ = std::move(device);
}

Link& Link::operator=(Link&& other) noexcept
{
    if (this != &other) {
        Close();
        device_ = std::move(other.device_);
        path_ = std::move(other.path_);
        silenceMs_ = other.silenceMs_;
        latencyMs_ = other.latencyMs_;
        openError_ = std::move(other.openError_);
    }
    return *this;
}

Link::~Link() { Close(); }

void Link::Close()
{
    if (!device_) return;
    device_->Close();
    device_.reset();
    openError_ = {LinkErrorKind::Other, "link not open"};
}

void Link::SetNetworkLatency(int ms)
{
    latencyMs_ = IsNetworkPortName(path_) ? std::clamp(ms, 0, NETWORK_LATENCY_MAX_MS) : 0;
}

namespace {

// A device that has gone stays gone: later exchanges fail without waiting for time-outs.
LinkError Unusable(const SerialDevice* device, const std::string& path)
{
    if (!device) return {LinkErrorKind::Other, "link not open"};
    if (!device->IsOpen()) return {LinkErrorKind::DeviceGone, path + ": device no longer available"};
    return {};
}

} // namespace

SerialReply Link::SerialExchange(const std::string& request)
{
    SerialReply reply;

    // The request is a C text: it ends at a NUL byte. One of 50 characters or more does not fit
    // the gateway's line buffer and is not sent; the terminator alone still goes out.
    std::string bytes = request.substr(0, request.find('\0'));
    if (bytes.size() >= SERIAL_REPLY_CAPACITY) bytes.clear();
    bytes += '\r';

    for (int attempt = 0; attempt < 2; ++attempt) {
        if (LinkError error = Unusable(device_.get(), path_)) {
            reply.error = std::move(error);
            return reply;
        }
        SerialDevice& device = *device_;
        device.PurgeInput();
        device.ClearErrors();
        if (LinkError error = device.Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                                           SERIAL_WRITE_MS)) {
            const bool gone = error.kind == LinkErrorKind::DeviceGone;
            reply.error = std::move(error);
            if (gone) return reply;
            continue;
        }
        // The first attempt may end at the gateway's terminator: the reply is the same and the
        // exchange 20 ms shorter. After a time-out the late reply to the first request and the
        // reply to the second arrive close together, so the second attempt ends by silence only
        // and takes both; a copy left unread would become the reply to the next request.
        const int terminator = attempt == 0 ? '\r' : -1;
        std::vector<std::uint8_t> received;
        if (LinkError error = device.Read(received, SERIAL_REPLY_CAPACITY, SERIAL_READ_TOTAL_MS + latencyMs_,
                                          SERIAL_READ_INTERVAL_MS, terminator)) {
            const bool gone = error.kind == LinkErrorKind::DeviceGone;
            reply.error = std::move(error);
            if (gone) return reply;
            continue;
        }
        if (received.empty()) {
            reply.error = {LinkErrorKind::NoReply, {}};
            continue;
        }
        // A reply is whole only when it ends in the gateway's terminator: one that lost it (a
        // noise hit, a gateway reset, the read time-out) would lose its last digit instead.
        if (received.back() != '\r') {
            reply.error = {LinkErrorKind::Other, "reply without its carriage return"};
            continue;
        }
        received.pop_back();
        // When the second attempt reads two copies, the last one is the whole reply to the
        // request just sent; the first may have lost its head to the purge.
        const auto previous = std::find(received.rbegin(), received.rend(), '\r');
        reply.text.assign(previous.base(), received.end());
        reply.text.resize(std::min(reply.text.size(), reply.text.find('\0')));
        reply.error = {};
        return reply;
    }
    return reply;
}

ModbusReply Link::ModbusExchange(const std::uint8_t* request, std::size_t length)
{
    ModbusReply reply;
    auto fail = [&reply](LinkError error) {
        reply.payload = 0;
        reply.error = std::move(error);
        return reply;
    };
    if (length > MODBUS_REQUEST_MAX) return fail({LinkErrorKind::Other, "request longer than 100 bytes"});
    if (LinkError error = Unusable(device_.get(), path_)) return fail(std::move(error));
    SerialDevice& device = *device_;

    const std::vector<std::uint8_t> frame = ModbusFrame(request, length);
    device.PurgeInput();
    device.ClearErrors();
    if (LinkError error = device.Write(frame.data(), frame.size(), MODBUS_WRITE_MS)) return fail(std::move(error));

    // The gateway needs a moment to turn the RS-485 line around. Sleep in 1 ms steps until the
    // monotonic clock says the pause is over; the device keeps what arrives meanwhile.
    const auto written = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - written < std::chrono::milliseconds(MODBUS_TURNAROUND_MS))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    if (LinkError error = device.Read(reply.bytes, MODBUS_REPLY_CAPACITY, MODBUS_READ_TOTAL_MS + latencyMs_, silenceMs_))
        return fail(std::move(error));
    if (reply.bytes.empty()) return fail({LinkErrorKind::NoReply, {}});
    reply.payload = ModbusPayloadLength(reply.bytes.data(), reply.bytes.size());
    if (reply.payload == 0) return fail({LinkErrorKind::Other, "reply too short or with a wrong CRC"});
    return reply;
}

RegisterRead Link::ReadHoldingRegisters(std::uint8_t slave, int first, int count)
{
    RegisterRead read;
    if (first < 0 || first > 0xFFFF || count < 1 || count > MODBUS_MAX_REGISTERS) {
        read.error = {LinkErrorKind::Other, "register range outside the map"};
        return read;
    }
    const std::vector<std::uint8_t> request =
        ReadHoldingRegistersRequest(slave, static_cast<std::uint16_t>(first), static_cast<std::uint16_t>(count));
    const ModbusReply reply = ModbusExchange(request.data(), request.size());
    if (!reply.ok()) {
        read.error = reply.error;
        return read;
    }
    const ReplyCheck check = CheckHoldingRegistersReply(reply.bytes.data(), reply.payload, slave, count);
    read.exception = check.exception;
    if (!check.reason.empty()) {
        read.error = {LinkErrorKind::Other, check.reason};
        return read;
    }
    DecodeHoldingRegisters(reply.bytes.data(), reply.bytes.size(), reply.payload, count, read.registers);
    return read;
}

GatewayLinks::GatewayLinks(AppState& state, SerialDeviceFactory devices)
    : state_(state), devices_(std::move(devices))
{
}

Link GatewayLinks::Make(const std::string& path, const LineSettings& settings, int silenceMs) const
{
    if (path.empty()) return Link({}, path, settings, silenceMs);
    Link link(devices_ ? devices_() : nullptr, path, settings, silenceMs);
    link.SetNetworkLatency(state_.netLatencyMs);
    return link;
}

LinkError GatewayLinks::OpenSerial()
{
    serial_.Close();
    serial_ = Make(state_.serialPort.DevicePath(), LineSettings{19200, 8, Parity::None, 1});
    return serial_.OpenError();
}

bool GatewayLinks::OpenSerialWithMessage()
{
    const LinkError error = OpenSerial();
    if (!error) return true;
    ShowErrorBoxWithDetails(*state_.ui, GetText(TEXT_UNAVAILABLE_PORT), error.reason);
    return false;
}

LinkError GatewayLinks::OpenModbus()
{
    modbus_.Close();
    const std::string path = state_.modbusPort.DevicePath();
    if (path.empty()) return LinkError{LinkErrorKind::NoPort, {}};
    const SystemConfiguration& current = state_.current;
    const std::optional<ModbusLine> line = ModbusLineFor(current.MASTER_MOD_BAUD, current.MASTER_MOD_FORM);
    if (!line)
        return LinkError{LinkErrorKind::SettingsRefused, "no line settings for baud rate index " +
                                                             std::to_string(current.MASTER_MOD_BAUD) +
                                                             " and format index " +
                                                             std::to_string(current.MASTER_MOD_FORM)};
    modbus_ = Make(path, line->settings, line->interval_ms);
    return modbus_.OpenError();
}

bool GatewayLinks::OpenModbusWithMessage()
{
    const LinkError error = OpenModbus();
    if (!error) return true;
    ShowErrorBoxWithDetails(*state_.ui, GetText(TEXT_UNAVAILABLE_PORT), error.reason);
    return false;
}

} // namespace tarn
