// The size of the main window, fitted to the screen it opens on.
#pragma once

#include <optional>

namespace tarn {

struct MainWindowSize {
    int width = 0;           // pixels
    int height = 0;
    int cellFontHeight = 0;  // pixel height of the cell tag and value fonts: height × 10 / 600
    bool operator==(const MainWindowSize&) const = default;
};

inline constexpr int MIN_SCREEN_WIDTH = 800;
inline constexpr int MIN_SCREEN_HEIGHT = 600;

// A 4:3 area of the screen less room for the frame and the task bar, at most 1200 × 800.
// Nothing for a screen smaller than 800 × 600: the caller shows text 371.
std::optional<MainWindowSize> ComputeMainWindowSize(int screenWidth, int screenHeight);

} // namespace tarn
