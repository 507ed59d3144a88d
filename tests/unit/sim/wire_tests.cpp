#include "sim/wire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarn::sim {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::vector<std::string> Texts(const std::vector<SerialLineReceiver::Request>& requests)
{
    std::vector<std::string> out;
    for (const auto& r : requests) out.push_back(r.text);
    return out;
}

TEST(SerialLineReceiver, CutsAtCarriageReturnsAcrossChunks)
{
    struct Case {
        std::vector<std::string> chunks;
        std::vector<std::string> requests;
    };
    const Case cases[] = {
        {{"C1.05\r"}, {"C1.05"}},
        {{"C1", ".05", "\r"}, {"C1.05"}},
        {{"S0.01\rS0.02\r"}, {"S0.01", "S0.02"}},
        {{"S0.01\r\nS0.02\r\n"}, {"S0.01", "S0.02"}},  // line feeds are dropped
        {{"\r"}, {""}},
        {{"T1.01=A B"}, {}},                           // no terminator yet
        {{std::string(70, 'x'), "y\rC1.01\r"}, {"C1.01"}},  // an over-long line is noise up to its CR
    };
    for (const auto& c : cases) {
        SerialLineReceiver rx;
        std::vector<std::string> got;
        for (const auto& chunk : c.chunks) {
            const auto b = Bytes(chunk);
            for (const auto& t : Texts(rx.Add(b.data(), b.size()))) got.push_back(t);
        }
        EXPECT_EQ(got, c.requests) << c.chunks.front();
    }
}

} // namespace
} // namespace tarn::sim
