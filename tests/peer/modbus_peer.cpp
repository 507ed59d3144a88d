#include "peer/modbus_peer.h"

#include <modbus.h>

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace tarn::testing {

ModbusPeer::ModbusPeer(int slave, int baud)
{
    if (!ours_.Ok() || !theirs_.Ok()) {
        error_ = "no pseudo-terminal";
        return;
    }
    relay_ = std::thread([this] { Relay(); });
    server_ = std::thread([this, slave, baud] { Serve(slave, baud); });
    // The server is ready once libmodbus has opened and set up its port.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (state_ == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (state_ == 0) error_ = "server did not start";
}

ModbusPeer::~ModbusPeer()
{
    stop_ = true;
    if (server_.joinable()) server_.join();
    if (relay_.joinable()) relay_.join();
}

void ModbusPeer::Relay()
{
    pollfd fds[2] = {{ours_.Master(), POLLIN, 0}, {theirs_.Master(), POLLIN, 0}};
    std::uint8_t buffer[512];
    while (!stop_) {
        if (::poll(fds, 2, 20) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & POLLIN) == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) continue;
            if (i == 0) bytesFromUs_ += n;
            const int to = fds[1 - i].fd;
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(to, buffer + done, static_cast<std::size_t>(n - done));
                if (w <= 0) break;
                done += w;
            }
        }
        // A side whose slave is not open reports a hang-up: wait instead of spinning.
        if ((fds[0].revents | fds[1].revents) & POLLHUP) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ModbusPeer::Serve(int slave, int baud)
{
    modbus_t* ctx = modbus_new_rtu(theirs_.SlavePath().c_str(), baud, 'N', 8, 1);
    modbus_mapping_t* map = modbus_mapping_new(0, 0, REGISTER_COUNT, 0);
    if (!ctx || !map || modbus_set_slave(ctx, slave) != 0 || modbus_connect(ctx) != 0) {
        error_ = std::string("libmodbus: ") + modbus_strerror(errno);
        if (map) modbus_mapping_free(map);
        if (ctx) modbus_free(ctx);
        state_ = 2;
        return;
    }
    for (int a = 0; a < REGISTER_COUNT; ++a) map->tab_registers[a] = RegisterValue(a);
    modbus_set_indication_timeout(ctx, 0, 20000);
    state_ = 1;
    std::vector<std::uint8_t> query(MODBUS_RTU_MAX_ADU_LENGTH);
    while (!stop_) {
        const int length = modbus_receive(ctx, query.data());
        if (length > 0 && modbus_reply(ctx, query.data(), length, map) > 0) ++answered_;
        // Time-outs, frames for other slaves and frames with a bad CRC: listen on.
    }
    modbus_close(ctx);
    modbus_mapping_free(map);
    modbus_free(ctx);
}

} // namespace tarn::testing
