// The log's time stamps: an instant's milliseconds and the local offset's sign, hours and
// minutes, in two time zones; a log file whose write fails.
#include "diag/live_log.h"

#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <ctime>

#include <sys/resource.h>

TEST(LiveLog, TimeStampsCarryTheLocalOffset)
{
    const std::chrono::system_clock::time_point instant(std::chrono::milliseconds(1796634902123LL));  // 09:15:02.123 UTC
    const std::pair<const char*, const char*> cases[] = {
        {"IST-5:30", "2026-12-07T14:45:02.123+05:30"},
        {"EST5", "2026-12-07T04:15:02.123-05:00"},
    };
    for (const auto& [zone, text] : cases) {
        ::setenv("TZ", zone, 1);
        ::tzset();
        EXPECT_EQ(tarn::LogTimeText(instant), text) << zone;
    }
}

// A write that fails in the middle of a test (here at the process's file size limit) closes the
// log and says so.
TEST(LiveLogFile, AFailedWriteClosesTheLog)
{
    tarn::testing::TempDir dir;
    tarn::LiveLogFile log;
    ASSERT_TRUE(log.Open(dir.file("live.csv"), 1));
    tarn::PollStep step;
    step.ok = 1;
    for (int c = 0; c < 16; ++c) step.cells.push_back({true, 0, c, 1});
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    const rlimit small{tarn::LiveLogHeader().size() + 100, before.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
    ::setrlimit(RLIMIT_FSIZE, &small);
    const tarn::SystemConfiguration plant = tarn::testing::FullInstallation();
    EXPECT_FALSE(log.Step(plant, plant, step, {}));
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(log.IsOpen());
}
