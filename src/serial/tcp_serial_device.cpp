#include "serial/tcp_serial_device.h"

#include "serial/device_read.h"

#include "link/network_port.h"
#include "text/cp1252.h"

#include <QHostAddress>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace tarn {

namespace {

using Clock = std::chrono::steady_clock;

std::string FromQt(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

// A name lookup that the system may take its time over (an unreachable name server): it runs
// on a thread of its own, and a caller that stops waiting leaves it to end by itself.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = 0;
    std::vector<QHostAddress> addresses;
};

// The addresses of host, or the system's reason there are none; a lookup still running at
// deadline is a time-out.
LinkError Resolve(const std::string& host, Clock::time_point deadline, std::vector<QHostAddress>& addresses)
{
    QHostAddress literal;
    if (literal.setAddress(QString::fromStdString(host))) {
        addresses = {literal};
        return {};
    }
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
        std::vector<QHostAddress> list;
        for (addrinfo* a = found; status == 0 && a; a = a->ai_next) list.emplace_back(a->ai_addr);
        if (found) ::freeaddrinfo(found);
        const std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->addresses = std::move(list);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();

    std::unique_lock lock(lookup->mutex);
    if (!lookup->done.wait_until(lock, deadline, [&] { return lookup->finished; }))
        return {LinkErrorKind::Timeout, "name lookup of " + host + " timed out"};
    if (lookup->status != 0) return {LinkErrorKind::NotFound, host + ": " + ::gai_strerror(lookup->status)};
    if (lookup->addresses.empty()) return {LinkErrorKind::NotFound, host + ": no address"};
    addresses = lookup->addresses;
    return {};
}

} // namespace

TcpSerialDevice::TcpSerialDevice() = default;

TcpSerialDevice::~TcpSerialDevice() { Close(); }

LinkError TcpSerialDevice::Open(const std::string& device, const LineSettings&)
{
    Close();
    gone_ = false;
    name_ = device;
    return Named(Connect(device), name_);
}

LinkError TcpSerialDevice::Connect(const std::string& device)
{
    const std::optional<NetworkPort> port = ParseNetworkPort(device);
    if (!port) return {LinkErrorKind::NotFound, "not a network port of the form tcp://HOST:PORT"};
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(CONNECT_LIMIT_MS);
    std::vector<QHostAddress> addresses;
    if (LinkError error = Resolve(port->host, deadline, addresses)) return error;

    LinkError failure;
    for (const QHostAddress& address : addresses) {
        socket_ = std::make_unique<QTcpSocket>();
        socket_->connectToHost(address, static_cast<quint16>(port->port));
        if (socket_->waitForConnected(std::max(MsUntil(deadline), 1))) {
            // Requests are short and each waits for its reply: no coalescing of small writes.
            socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            socket_->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
            return {};
        }
        const bool timedOut = socket_->error() == QAbstractSocket::SocketTimeoutError || MsUntil(deadline) == 0;
        failure = {timedOut ? LinkErrorKind::Timeout : LinkErrorKind::NotFound,
                   timedOut ? "no connection within " + std::to_string(CONNECT_LIMIT_MS / 1000) + " s"
                            : FromQt(socket_->errorString())};
        socket_.reset();
        if (timedOut) break;
    }
    return failure;
}

void TcpSerialDevice::Close()
{
    if (!socket_) return;
    socket_->abort();
    socket_.reset();
}

bool TcpSerialDevice::IsOpen() const
{
    return socket_ && !gone_ && socket_->state() == QAbstractSocket::ConnectedState;
}

LinkError TcpSerialDevice::NotOpen() const
{
    if (gone_) return {LinkErrorKind::DeviceGone, "connection closed"};
    return {LinkErrorKind::Other, "port not open"};
}

LinkError TcpSerialDevice::GoAway(std::string reason)
{
    gone_ = true;
    if (reason.empty()) reason = "connection closed by the device server";
    Close();
    return {LinkErrorKind::DeviceGone, reason};
}

void TcpSerialDevice::PurgeInput()
{
    if (!IsOpen()) return;
    // Take in what the system holds for the socket, then drop it all.
    while (socket_->waitForReadyRead(0)) socket_->readAll();
    socket_->readAll();
}

LinkError TcpSerialDevice::Write(const std::uint8_t* data, std::size_t size, int timeout_ms)
{
    return Named(WriteAll(data, size, timeout_ms), name_);
}

LinkError TcpSerialDevice::WriteAll(const std::uint8_t* data, std::size_t size, int timeout_ms)
{
    if (!IsOpen()) {
        if (socket_ && !gone_) return GoAway(FromQt(socket_->errorString()));
        return NotOpen();
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    if (socket_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != static_cast<qint64>(size))
        return GoAway(FromQt(socket_->errorString()));
    while (socket_->bytesToWrite() > 0) {
        const int left = timeout_ms > 0 ? MsUntil(deadline) : -1;
        if (left == 0) return {LinkErrorKind::Timeout, "write timed out"};
        if (!socket_->waitForBytesWritten(left) && socket_->state() != QAbstractSocket::ConnectedState)
            return GoAway(FromQt(socket_->errorString()));
    }
    return {};
}

LinkError TcpSerialDevice::Read(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms, int interval_ms,
                                int terminator)
{
    return Named(ReadUntil(out, max_bytes, total_ms, interval_ms, terminator), name_);
}

LinkError TcpSerialDevice::ReadUntil(std::vector<std::uint8_t>& out, std::size_t max_bytes, int total_ms,
                                     int interval_ms, int terminator)
{
    out.clear();
    if (!IsOpen()) return NotOpen();
    return ReadReply(*socket_, out, max_bytes, total_ms, interval_ms, terminator, [this](int wait) -> std::optional<LinkError> {
        // A connection that ends while a reply is awaited fails the exchange now, not at its time-out.
        if (socket_->state() != QAbstractSocket::ConnectedState) return GoAway(FromQt(socket_->errorString()));
        socket_->waitForReadyRead(wait);
        return std::nullopt;
    });
}

} // namespace tarn
