#include "serial/qt_serial_device.h"

#include "serial/device_read.h"

#include "text/cp1252.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace tarn {

namespace {

using Clock = std::chrono::steady_clock;

std::string FromQt(const QString& text) { return Utf8ToCp1252(text.toStdString()); }
QString ToQt(const std::string& text) { return QString::fromStdString(Cp1252ToUtf8(text)); }

bool AccessDenied(const std::string& path)
{
#ifdef Q_OS_UNIX
    return ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    (void)path;
    return false;
#endif
}

QSerialPort::Parity ToQtParity(Parity parity)
{
    switch (parity) {
    case Parity::Even: return QSerialPort::EvenParity;
    case Parity::Odd: return QSerialPort::OddParity;
    case Parity::None: break;
    }
    return QSerialPort::NoParity;
}

// The device QSerialPort opens for a name: an absolute path as it is, a relative path below the
// working directory, a bare name below /dev (as QSerialPort itself places it).
QString DevicePathFor(const QString& name)
{
    if (!QDir::isRelativePath(name)) return name;
#ifdef Q_OS_UNIX
    if (!name.contains(QLatin1Char('/'))) return QStringLiteral("/dev/") + name;
#endif
    return QDir::cleanPath(QDir::current().absoluteFilePath(name));
}

} // namespace

LinkError TranslatePortError(QSerialPort::SerialPortError error, const QString& reason, PortPhase phase,
                             bool accessDenied)
{
    std::string text = FromQt(reason);
    switch (error) {
    case QSerialPort::NoError: return {};
    case QSerialPort::DeviceNotFoundError: return {LinkErrorKind::NotFound, text};
    case QSerialPort::PermissionError:
        if (accessDenied) {
#ifdef Q_OS_UNIX
            text += " (the user may need to be a member of the dialout group)";
#endif
            return {LinkErrorKind::PermissionDenied, text};
        }
        // QSerialPort's lock file held: Qt calls it a permission error, which it is not.
        return {LinkErrorKind::Busy, text + " (the port is in use)"};
    case QSerialPort::OpenError: return {LinkErrorKind::Busy, text};
    case QSerialPort::ResourceError: return {LinkErrorKind::DeviceGone, text};
    case QSerialPort::TimeoutError: return {LinkErrorKind::Timeout, text};
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::UnknownError:
        if (phase == PortPhase::Settings) return {LinkErrorKind::SettingsRefused, text};
        return {LinkErrorKind::Other, text};
    case QSerialPort::WriteError:
    case QSerialPort::ReadError:
    case QSerialPort::NotOpenError: break;
    }
    return {phase == PortPhase::Settings ? LinkErrorKind::SettingsRefused : LinkErrorKind::Other, text};
}

QtSerialDevice::QtSerialDevice() = default;

QtSerialDevice::~QtSerialDevice() { Close(); }

LinkError QtSerialDevice::Open(const std::string& device, const LineSettings& settings)
{
    Close();
    gone_ = false;
    // QSerialPort puts "/dev/" before any name that is not absolute; a relative path such as
    // "sim/serial" means a file below the working directory, so it is made absolute first. The
    // path resolved is the one every error of this device names.
    const QString path = DevicePathFor(ToQt(device));
    path_ = FromQt(path);
    return Named(OpenResolved(path, settings), path_);
}

LinkError QtSerialDevice::OpenResolved(const QString& path, const LineSettings& settings)
{
    port_ = std::make_unique<QSerialPort>();
    // QSerialPort's lock is named after the device it is given, and TIOCEXCL does not hold a
    // root user back: every name of a device (a /dev/serial/by-id link, a simulator's link) opens
    // the device itself, so that one held under one name is refused under any other.
    const QString device = QFileInfo(path).canonicalFilePath();
    port_->setPortName(device.isEmpty() ? path : device);
    if (!port_->open(QIODevice::ReadWrite)) {
        LinkError error = TranslatePortError(port_->error(), port_->errorString(), PortPhase::Open,
                                             AccessDenied(QFile::encodeName(path).toStdString()));
        port_.reset();
        return error;
    }
    if (LinkError error = ApplySettings(settings)) {
        Close();
        return error;
    }
    port_->clear(QSerialPort::AllDirections);
    port_->clearError();
    return {};
}

LinkError QtSerialDevice::ApplySettings(const LineSettings& settings)
{
    const auto dataBits = static_cast<QSerialPort::DataBits>(settings.data_bits);
    const auto stopBits = settings.stop_bits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop;
    const bool applied = port_->setBaudRate(settings.baud) && port_->setDataBits(dataBits) &&
                         port_->setParity(ToQtParity(settings.parity)) && port_->setStopBits(stopBits) &&
                         port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) return TranslatePortError(port_->error(), port_->errorString(), PortPhase::Settings, false);

#ifdef Q_OS_UNIX
    // A driver may take settings it cannot keep without complaint (a pseudo-terminal drops
    // parity): what it kept is the device's answer.
    termios kept{};
    if (::tcgetattr(static_cast<int>(port_->handle()), &kept) != 0)
        return {LinkErrorKind::SettingsRefused, std::strerror(errno)};
    const tcflag_t size = settings.data_bits == 5 ? CS5 : settings.data_bits == 6 ? CS6 : settings.data_bits == 7 ? CS7 : CS8;
    const bool parityKept = settings.parity == Parity::None
                                ? (kept.c_cflag & PARENB) == 0
                                : (kept.c_cflag & PARENB) != 0 &&
                                      ((kept.c_cflag & PARODD) != 0) == (settings.parity == Parity::Odd);
    const bool stopKept = ((kept.c_cflag & CSTOPB) != 0) == (settings.stop_bits == 2);
    if (!parityKept || !stopKept || (kept.c_cflag & CSIZE) != size)
        return {LinkErrorKind::SettingsRefused, std::strerror(EINVAL)};
#endif

    // Modem lines low, as the gateway's converters expect; a device without them (a
    // pseudo-terminal) is not refused for that.
    port_->setDataTerminalReady(false);
    port_->setRequestToSend(false);
    port_->clearError();
    return {};
}

void QtSerialDevice::Close()
{
    if (port_) {
        if (port_->isOpen()) port_->close();
        port_.reset();
    }
}

bool QtSerialDevice::IsOpen() const { return port_ && port_->isOpen() && !gone_; }

bool QtSerialDevice::HungUp() const
{
#ifdef Q_OS_UNIX
    pollfd p{static_cast<int>(port_->handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

LinkError QtSerialDevice::NotOpen() const
{
    if (gone_) return {LinkErrorKind::DeviceGone, std::strerror(EIO)};
    return {LinkErrorKind::Other, "port not open"};
}

LinkError QtSerialDevice::GoAway(std::string reason)
{
    gone_ = true;
    if (reason.empty()) reason = std::strerror(EIO);
    Close();
    return {LinkErrorKind::DeviceGone, reason};
}

// A failed read or write: a device that has hung up is gone, anything else is reported as Qt
// sees it.
LinkError QtSerialDevice::IoFailure()
{
    const QSerialPort::SerialPortError error = port_->error();
    const std::string reason = FromQt(port_->errorString());
    if (error == QSerialPort::ResourceError || HungUp()) return GoAway(reason);
    LinkError failure = TranslatePortError(error, port_->errorString(), PortPhase::Io, false);
    port_->clearError();
    if (!failure) failure = {LinkErrorKind::Other, reason};
    return failure;
}

void QtSerialDevice::PurgeInput()
{
    if (!IsOpen()) return;
    port_->clear(QSerialPort::Input);
    port_->clearError();
}

void QtSerialDevice::ClearErrors()
{
    if (!IsOpen()) return;
    if (port_->isBreakEnabled()) port_->setBreakEnabled(false);
    port_->clearError();
}

LinkError QtSerialDevice::Write(const std::uint8_t* data, std::size_t size, int timeout_ms)
{
    return Named(WriteAll(data, size, timeout_ms), path_);
}

LinkError QtSerialDevice::WriteAll(const std::uint8_t* data, std::size_t size, int timeout_ms)
{
    if (!IsOpen()) return NotOpen();
    if (HungUp()) return GoAway({});
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    const qint64 queued = port_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    if (queued != static_cast<qint64>(size)) return IoFailure();
    while (port_->bytesToWrite() > 0) {
        const int left = timeout_ms > 0 ? MsUntil(deadline) : -1;
        if (left == 0) {
            port_->clear(QSerialPort::Output);
            return {LinkErrorKind::Timeout, "write timed out"};
        }
        if (!port_->waitForBytesWritten(left)) {
            if (port_->error() != QSerialPort::TimeoutError) return IoFailure();
            port_->clearError();
        }
    }
    return {};
}

LinkError QtSerialDevice::Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                               int terminator)
{
    return Named(ReadUntil(out, max_bytes, total_ms, interval_ms, terminator), path_);
}

LinkError QtSerialDevice::ReadUntil(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms,
                                    int interval_ms, int terminator)
{
    out.clear();
    if (!IsOpen()) return NotOpen();
    return ReadReply(*port_, out, max_bytes, total_ms, interval_ms, terminator, [this](int wait) -> std::optional<LinkError> {
        if (HungUp() && port_->bytesAvailable() == 0) return GoAway({});
        if (!port_->waitForReadyRead(wait)) {
            if (port_->error() != QSerialPort::TimeoutError && port_->error() != QSerialPort::NoError)
                return IoFailure();
            port_->clearError();
        }
        return std::nullopt;
    });
}

SerialDeviceFactory QtSerialDevices()
{
    return []() -> std::unique_ptr<SerialDevice> { return std::make_unique<QtSerialDevice>(); };
}

PortProbe ProbeSerialPort(const std::string& path)
{
    QSerialPort probe;
    probe.setPortName(ToQt(path));
    if (probe.open(QIODevice::ReadWrite)) return {};
    const LinkError error = TranslatePortError(probe.error(), probe.errorString(), PortPhase::Open, AccessDenied(path));
    switch (error.kind) {
    case LinkErrorKind::PermissionDenied: return {PortAccess::PermissionDenied, {}};
    case LinkErrorKind::Busy: return {PortAccess::Busy, {}};
    case LinkErrorKind::NotFound:
    case LinkErrorKind::DeviceGone: return {PortAccess::Gone, {}};
    default: return {PortAccess::Failed, error.reason};
    }
}

std::vector<PortListEntry> SerialPortList()
{
    std::vector<SystemPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({FromQt(info.systemLocation()), FromQt(info.description()), FromQt(info.manufacturer()),
                         FromQt(info.serialNumber())});
    return ListPorts(std::move(ports), SERIAL_BY_ID_FOLDER, ProbeSerialPort);
}

std::vector<std::string> AvailableSerialPorts()
{
    std::vector<std::string> ports;
    for (const PortListEntry& entry : SerialPortList())
        if (entry.Opens()) ports.push_back(entry.path);
    return ports;
}

} // namespace tarn
