// The sample configurations shipped with the program: what a new user opens first.
#include "config/channel_word.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "dialogs/config_edits.h"
#include "support/recording_ui.h"
#include "text/choices.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarn {
namespace {

namespace fs = std::filesystem;

// Each sample reads without fault, and every channel holds a type its row of the channel
// dialog offers: a value the lists lack would be shown, and stored by Ok, as entry 0.
TEST(SampleFiles, ReadWithoutFaultAndFitTheChannelDialogs)
{
    testing::CoreFixture core;
    int samples = 0;
    for (const auto& entry : fs::directory_iterator(TARN_SAMPLES_DIR)) {
        if (entry.path().extension() != ".mcf") continue;
        ++samples;
        SCOPED_TRACE(entry.path().filename().string());
        SystemConfiguration image{};
        BuildDefaultConfiguration(image);
        EXPECT_TRUE(ParseConfigurationFile(entry.path().string(), image).ok());
        for (int u = 0; u < UNIT_COUNT; ++u) {
            const UnitRecord& unit = image.units[u];
            for (int c = 0; c < CHANNEL_COUNT; ++c) {
                const std::uint32_t word = unit.channels[c].word;
                if (unit.SLAVE_TYPE == UNIT_KX913) {
                    EXPECT_LT(DecodeAnalogChannelWord(word).type, std::uint32_t(ChannelTypeEntries(c % ANALOG_PAGE_ROWS)))
                        << "unit " << u + 1 << " channel " << c + 1;
                } else if (unit.SLAVE_TYPE == UNIT_KX927 && c < DIGITAL_ROWS) {
                    const DigitalChannelSettings s = DecodeDigitalChannelWord(word);
                    EXPECT_LT(s.mode, std::uint32_t(ChoiceCount(ChoiceList::DigitalMode))) << "unit " << u + 1 << " channel " << c + 1;
                    EXPECT_LT(s.scan_time, std::uint32_t(ChoiceCount(ChoiceList::ScanTime))) << "unit " << u + 1 << " channel " << c + 1;
                }
            }
        }
    }
    EXPECT_GT(samples, 0);
}

} // namespace
} // namespace tarn
