#include "app/window_size.h"

#include <algorithm>

namespace tarn {

std::optional<MainWindowSize> ComputeMainWindowSize(int screenWidth, int screenHeight)
{
    if (screenWidth < MIN_SCREEN_WIDTH || screenHeight < MIN_SCREEN_HEIGHT) return std::nullopt;
    int w = screenWidth;
    int h = screenHeight;
    // Integer divisions throughout: the sizes must come out exactly as on the original screens.
    if (h > 3 * w / 4) h = 3 * w / 4;
    const int h4 = 4 * h / 3;
    if (w > h4) w = h4;
    MainWindowSize size;
    size.width = std::min(w - 10, 1200);
    size.height = std::min(h - 70, 800);
    size.cellFontHeight = size.height * 10 / 600;
    return size;
}

} // namespace tarn
