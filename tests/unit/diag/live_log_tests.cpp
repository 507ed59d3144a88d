// The log's time stamps: an instant's milliseconds and the local offset's sign, hours and
// minutes, in two time zones.
#include "diag/live_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

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
