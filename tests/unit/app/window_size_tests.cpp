#include "app/window_size.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(ComputeMainWindowSize, FitsA4To3AreaOfTheScreen)
{
    const struct {
        int screenWidth, screenHeight;
        std::optional<MainWindowSize> size;
    } cases[] = {
        {1024, 768, MainWindowSize{1014, 698, 11}},
        {1920, 1080, MainWindowSize{1200, 800, 13}},
        {800, 600, MainWindowSize{790, 530, 8}},
        {1600, 900, MainWindowSize{1190, 800, 13}},  // trimmed to 1200 × 900, then the height cap
        {1280, 1024, MainWindowSize{1200, 800, 13}}, // a tall screen: the height is trimmed first
        {801, 601, MainWindowSize{790, 530, 8}},     // 3 × 801 / 4 = 600, then 4 × 600 / 3 = 800
        {799, 600, std::nullopt},
        {800, 599, std::nullopt},
        {0, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.screenWidth) + " x " + std::to_string(c.screenHeight));
        EXPECT_EQ(ComputeMainWindowSize(c.screenWidth, c.screenHeight), c.size);
    }
}

} // namespace
} // namespace tarn
