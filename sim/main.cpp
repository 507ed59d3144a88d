// kx940-sim: a KX940 gateway on two pseudo-terminals, or on two TCP ports of the
// loopback as a serial device server would serve it. One thread, one ppoll() loop
// over both links and stdin; replies that must wait (wire timing) are
// kept with the time at which each byte may leave, and the loop sleeps until
// the earliest of them.
#include "sim/control.h"
#include "sim/gateway.h"
#include "sim/installation.h"
#include "sim/wire.h"
#include "text/numbers.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace tarn::sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

std::int64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void Say(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

void Complain(const std::string& line)
{
    std::fputs(("kx940-sim: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// A pseudo-terminal whose slave side the simulator keeps open too: the master then never
// sees a hang-up when a client closes its side, and the line is raw before any client opens it.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string device;

    bool Open(std::string& error)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0) return error = SystemError("posix_openpt"), false;
        char name[128];
        if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0)
            return error = SystemError("pseudo-terminal setup"), false;
        device = name;
        slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) return error = SystemError(name), false;
        termios t{};
        if (tcgetattr(slave, &t) != 0) return error = SystemError("tcgetattr"), false;
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        if (tcsetattr(slave, TCSANOW, &t) != 0) return error = SystemError("tcsetattr"), false;
        if (fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0)
            return error = SystemError("fcntl"), false;
        return true;
    }
    void Close()
    {
        if (slave >= 0) ::close(slave);
        if (master >= 0) ::close(master);
        slave = master = -1;
    }
};

// A socket listening on 127.0.0.1:port (0: any free port); the port taken, or -1 with error set.
int Listen(int port, int& fd, std::string& error)
{
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return error = SystemError("socket"), -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = SystemError(("127.0.0.1:" + std::to_string(port)).c_str());
        ::close(fd);
        fd = -1;
        return -1;
    }
    return ntohs(address.sin_port);
}

struct Link {
    explicit Link(const char* linkName) : name(linkName) {}

    const char* name;
    Pty pty;
    std::filesystem::path link_path;
    int listener = -1;              // --tcp: the listening socket, and the connection served
    int client = -1;
    int port = 0;
    std::deque<std::pair<std::int64_t, std::uint8_t>> out;  // byte and the time it may leave
    std::int64_t line_free_ns = 0;  // end of the last scheduled reply on the wire
    bool blocked = false;           // the terminal took no more bytes: wait for POLLOUT
    std::uint64_t bytes_in = 0;
    std::uint64_t bytes_out = 0;

    bool Tcp() const { return listener >= 0; }
    bool IsOpen() const { return pty.master >= 0 || Tcp(); }
    // Where requests come from and replies go: the terminal, or the connected client (-1: none).
    int Fd() const { return Tcp() ? client : pty.master; }
    std::string Address() const
    {
        return Tcp() ? "tcp://127.0.0.1:" + std::to_string(port) : pty.device;
    }
};

class Server {
public:
    Server(Gateway& gateway, const Options& options)
        : gateway_(gateway), options_(options), modbus_rx_(ModbusSilenceNs()), start_ns_(MonotonicNs())
    {
    }

    bool Open(std::string& error)
    {
        if (options_.tcp_port >= 0) return OpenTcp(error);
        std::error_code ec;
        const std::filesystem::path dir(options_.link_dir);
        std::filesystem::create_directories(dir, ec);
        if (ec) return error = options_.link_dir + ": " + ec.message(), false;
        for (Link* link : {&serial_, &modbus_}) {
            if (!link->pty.Open(error)) return false;
            link->link_path = dir / link->name;
            const auto status = std::filesystem::symlink_status(link->link_path, ec);
            if (std::filesystem::exists(status)) {
                if (!std::filesystem::is_symlink(status))
                    return error = link->link_path.string() + " exists and is not a link", false;
                std::filesystem::remove(link->link_path, ec);  // a stale link of an earlier run
            }
            std::filesystem::create_symlink(link->pty.device, link->link_path, ec);
            if (ec) return error = link->link_path.string() + ": " + ec.message(), false;
        }
        return true;
    }

    // The serial link on the port asked for and the Modbus link on the next one. With port 0
    // the system picks the first; should the next one be taken, another pair is tried.
    bool OpenTcp(std::string& error)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            serial_.port = Listen(options_.tcp_port, serial_.listener, error);
            if (serial_.port < 0) return false;
            modbus_.port = Listen(serial_.port + 1, modbus_.listener, error);
            if (modbus_.port > 0) return true;
            CloseLink(serial_);
            if (options_.tcp_port != 0 || serial_.port >= 65535) return false;
        }
        return false;
    }

    void Close()
    {
        for (Link* link : {&serial_, &modbus_}) CloseLink(*link);
    }

    void PrintReady()
    {
        Say(std::string("serial ") + serial_.Address());
        Say(std::string("modbus ") + modbus_.Address());
        Say("ready");
    }

    void Run()
    {
        sigset_t stops, waiting;
        sigemptyset(&stops);
        sigaddset(&stops, SIGINT);
        sigaddset(&stops, SIGTERM);
        // The stop signals are delivered only inside ppoll, so none is lost between the check and the wait.
        sigprocmask(SIG_BLOCK, &stops, &waiting);
        sigdelset(&waiting, SIGINT);
        sigdelset(&waiting, SIGTERM);

        while (!g_stop) {
            std::int64_t now = MonotonicNs();
            for (Link* link : {&serial_, &modbus_}) Flush(*link, now);
            for (auto& frame : modbus_rx_.Expire(now)) OnModbusFrame(frame, now);

            std::int64_t deadline = -1;
            auto consider = [&deadline](std::int64_t t) {
                if (t >= 0 && (deadline < 0 || t < deadline)) deadline = t;
            };
            for (Link* link : {&serial_, &modbus_})
                if (!link->blocked && !link->out.empty()) consider(link->out.front().first);
            consider(modbus_rx_.SilenceDeadline());

            pollfd fds[5];
            nfds_t count = 0;
            int stdin_index = -1, serial_index = -1, modbus_index = -1, serial_listen = -1, modbus_listen = -1;
            if (stdin_open_) {
                stdin_index = static_cast<int>(count);
                fds[count++] = {STDIN_FILENO, POLLIN, 0};
            }
            for (auto [link, index, listen] : {std::tuple{&serial_, &serial_index, &serial_listen},
                                               std::tuple{&modbus_, &modbus_index, &modbus_listen}}) {
                if (link->Tcp()) {
                    *listen = static_cast<int>(count);
                    fds[count++] = {link->listener, POLLIN, 0};
                }
                if (link->Fd() < 0) continue;
                *index = static_cast<int>(count);
                fds[count++] = {link->Fd(), static_cast<short>(POLLIN | (link->blocked ? POLLOUT : 0)), 0};
            }
            timespec timeout{};
            timespec* wait = nullptr;
            if (deadline >= 0) {
                const std::int64_t left = deadline > now ? deadline - now : 0;
                timeout.tv_sec = static_cast<time_t>(left / 1'000'000'000);
                timeout.tv_nsec = static_cast<long>(left % 1'000'000'000);
                wait = &timeout;
            }
            const int ready = ppoll(fds, count, wait, &waiting);
            if (ready < 0) {
                if (errno == EINTR) continue;
                Complain(SystemError("ppoll"));
                break;
            }
            now = MonotonicNs();
            if (serial_listen >= 0 && (fds[serial_listen].revents & POLLIN)) Accept(serial_);
            if (modbus_listen >= 0 && (fds[modbus_listen].revents & POLLIN)) Accept(modbus_);
            if (serial_index >= 0) OnLinkEvents(serial_, fds[serial_index].revents, now);
            if (modbus_index >= 0) OnLinkEvents(modbus_, fds[modbus_index].revents, now);
            if (stdin_index >= 0 && fds[stdin_index].revents) OnStdin();
        }
    }

private:
    std::int64_t ModbusSilenceNs() const
    {
        // 3.5 character times, and no less than the 1.75 ms the Modbus line rules fix above 19200 baud.
        const std::int64_t t = CharacterTimeNs(gateway_.ModbusBaud(), gateway_.ModbusBitsPerCharacter()) * 7 / 2;
        return t > 1'750'000 ? t : 1'750'000;
    }

    std::int64_t NowMs(std::int64_t now_ns) const { return (now_ns - start_ns_) / 1'000'000; }

    // One client a link, as a device server in TCP server mode: a new connection takes the link
    // over from the one before (which may not have been seen closing yet), with a fresh line.
    void Accept(Link& link)
    {
        const int fd = ::accept4(link.listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        DropClient(link);
        link.client = fd;
    }

    void DropClient(Link& link)
    {
        if (link.client >= 0) ::close(link.client);
        link.client = -1;
        link.out.clear();
        link.blocked = false;
        link.line_free_ns = 0;
        if (&link == &serial_) serial_rx_ = SerialLineReceiver();
        else modbus_rx_ = ModbusFrameReceiver(ModbusSilenceNs());
    }

    void OnLinkEvents(Link& link, short revents, std::int64_t now)
    {
        if (link.Fd() < 0) return;
        if (revents & POLLOUT) link.blocked = false;
        if (!(revents & (POLLIN | POLLHUP | POLLERR))) return;
        std::uint8_t buffer[4096];
        const ssize_t n = ::read(link.Fd(), buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
            if (link.Tcp()) {
                DropClient(link);  // the client hung up: the next one may come
                return;
            }
            Complain(std::string(link.name) + ": " + (n == 0 ? std::string("end of data") : SystemError("read")));
            CloseLink(link);
            return;
        }
        link.bytes_in += static_cast<std::uint64_t>(n);
        if (&link == &serial_) {
            for (const auto& request : serial_rx_.Add(buffer, static_cast<std::size_t>(n))) {
                const auto reply = gateway_.HandleSerialRequest(request.text, NowMs(now));
                if (!reply) continue;
                std::vector<std::uint8_t> bytes(reply->begin(), reply->end());
                bytes.push_back('\r');
                Answer(link, std::move(bytes), request.wire_bytes, now);
            }
        } else {
            modbus_rx_.SetSilence(ModbusSilenceNs());
            for (auto& frame : modbus_rx_.Add(buffer, static_cast<std::size_t>(n), now)) OnModbusFrame(frame, now);
        }
    }

    void OnModbusFrame(const std::vector<std::uint8_t>& frame, std::int64_t now)
    {
        if (!modbus_.IsOpen()) return;
        const auto reply = gateway_.HandleModbusFrame(frame.data(), frame.size(), NowMs(now));
        if (reply) Answer(modbus_, *reply, frame.size(), now);
    }

    void Answer(Link& link, std::vector<std::uint8_t> reply, std::size_t request_bytes, std::int64_t now)
    {
        if (silence_) return;
        if (options_.fail_after >= 0 && answered_ >= static_cast<std::uint64_t>(options_.fail_after)) return;
        ++answered_;
        const bool modbus = &link == &modbus_;
        if (garble_ > 0) {
            --garble_;
            if (modbus) GarbleModbusReply(reply);
            else GarbleSerialReply(reply);
        }
        const std::int64_t network = static_cast<std::int64_t>(options_.net_latency_ms) * 1'000'000;
        if (!options_.wire_timing) {
            for (std::uint8_t b : reply) link.out.emplace_back(now + network, b);
            return;
        }
        const std::int64_t character = modbus ? CharacterTimeNs(gateway_.ModbusBaud(), gateway_.ModbusBitsPerCharacter())
                                              : CharacterTimeNs(19200, 10);
        const std::int64_t start = ReplyStartNs(now, request_bytes, character,
                                                static_cast<std::int64_t>(options_.turnaround_ms) * 1'000'000,
                                                link.line_free_ns);
        std::int64_t t = start;
        for (std::uint8_t b : reply) {
            t += character;
            link.out.emplace_back(t + network, b);
        }
        link.line_free_ns = t;
    }

    void Flush(Link& link, std::int64_t now)
    {
        if (link.Fd() < 0) link.out.clear();  // nobody to hear the reply
        if (link.Fd() < 0 || link.blocked) return;
        std::vector<std::uint8_t> due;
        for (const auto& [when, byte] : link.out) {
            if (when > now) break;
            due.push_back(byte);
        }
        if (due.empty()) return;
        const ssize_t n = ::write(link.Fd(), due.data(), due.size());
        if (n < 0) {
            if (errno == EAGAIN) link.blocked = true;
            else if (link.Tcp()) DropClient(link);
            else if (errno != EINTR) Complain(std::string(link.name) + ": " + SystemError("write"));
            return;
        }
        link.bytes_out += static_cast<std::uint64_t>(n);
        link.out.erase(link.out.begin(), link.out.begin() + n);
        if (static_cast<std::size_t>(n) < due.size()) link.blocked = true;
    }

    void CloseLink(Link& link)
    {
        if (link.Tcp()) {
            DropClient(link);
            ::close(link.listener);
            link.listener = -1;
            return;
        }
        if (!link.IsOpen()) return;
        std::error_code ec;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(link.link_path, ec)) &&
            std::filesystem::read_symlink(link.link_path, ec) == link.pty.device)
            std::filesystem::remove(link.link_path, ec);
        link.pty.Close();
        link.out.clear();
        link.blocked = false;
    }

    void OnStdin()
    {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (n <= 0) {
            stdin_open_ = false;  // no operator any more; keep serving until a stop signal
            return;
        }
        stdin_line_.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = stdin_line_.find('\n')) != std::string::npos) {
            const std::string line = stdin_line_.substr(0, end);
            stdin_line_.erase(0, end + 1);
            OnCommand(line);
        }
    }

    void OnCommand(const std::string& line)
    {
        ControlCommand command{};
        std::string error;
        if (!ParseControlCommand(line, command, error)) {
            if (error.empty()) return;  // empty line
            Complain(error);
            Say("error");
            return;
        }
        switch (command.kind) {
        case CommandKind::Silence: silence_ = command.args[0] != 0; break;
        case CommandKind::Garble: garble_ = static_cast<std::uint64_t>(command.args[0]); break;
        case CommandKind::Hangup: Close(); break;
        case CommandKind::Stats: {
            char text[200];
            std::snprintf(text, sizeof text, "stats serial_in=%llu serial_out=%llu modbus_in=%llu modbus_out=%llu requests=%llu",
                          static_cast<unsigned long long>(serial_.bytes_in), static_cast<unsigned long long>(serial_.bytes_out),
                          static_cast<unsigned long long>(modbus_.bytes_in), static_cast<unsigned long long>(modbus_.bytes_out),
                          static_cast<unsigned long long>(answered_));
            Say(text);
            return;
        }
        default:
            if (!ApplyToGateway(gateway_, command, error, NowMs(MonotonicNs()))) {
                Complain(line + ": " + error);
                Say("error");
                return;
            }
        }
        Say("ok");
    }

    Gateway& gateway_;
    Options options_;
    Link serial_{"serial"};
    Link modbus_{"modbus"};
    SerialLineReceiver serial_rx_;
    ModbusFrameReceiver modbus_rx_;
    std::int64_t start_ns_;
    bool stdin_open_ = true;
    std::string stdin_line_;
    bool silence_ = false;
    std::uint64_t garble_ = 0;
    std::uint64_t answered_ = 0;
};

int Main(int argc, char** argv)
{
    // No Qt application here, but the locale stays fixed all the same, should a library set it.
    KeepNumericLocaleC();
    Options options;
    std::string error;
    if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        Complain(error + " (see --help)");
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }

    auto configuration = std::make_unique<SystemConfiguration>();
    if (!options.config_file.empty()) {
        if (!LoadInstallation(options.config_file, *configuration, error)) {
            Complain(error);
            return 1;
        }
    } else {
        BuildInstallation(*configuration, options.empty);
    }
    Gateway gateway(*configuration, true);

    struct sigaction stop{};
    stop.sa_handler = OnStopSignal;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // A gateway answers in its own time whatever the load of the PC, and a wire sends the bytes
    // of a reply back to back. Run as an ordinary process, the simulator stops whenever other
    // programs hold the processors: a reply comes after the reader's 100 ms, or a pause of
    // 20 ms in the middle of a paced reply ends it for the reader. The lowest real-time
    // priority keeps its timing (it sleeps between events); without the right to it the
    // simulator runs as well as its share of the processors allows.
    sched_param lowest{};
    lowest.sched_priority = sched_get_priority_min(SCHED_FIFO);
    (void)sched_setscheduler(0, SCHED_FIFO, &lowest);

    Server server(gateway, options);
    if (!server.Open(error)) {
        Complain(error);
        server.Close();
        return 1;
    }
    server.PrintReady();
    server.Run();
    server.Close();
    return 0;
}

} // namespace

} // namespace tarn::sim

int main(int argc, char** argv) { return tarn::sim::Main(argc, argv); }
