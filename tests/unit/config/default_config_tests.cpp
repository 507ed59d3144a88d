#include "config/default_config.h"

#include "config/app_state.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::SameBytes;
using testing::TempDir;
using testing::WriteFile;

TEST(DefaultConfiguration, BuiltInValues)
{
    CoreFixture f;
    SystemConfiguration image;
    std::memset(&image, 0xA5, sizeof image);  // nothing of the old content may survive
    BuildDefaultConfiguration(image);
    // The values the default file shows (its exact bytes are tested with the writer); everything
    // else is zero, the bytes behind the terminators included.
    SystemConfiguration expected{};
    std::memcpy(expected.MASTER_TAG, image.MASTER_TAG, TAG_CAPACITY);
    expected.MASTER_MOD_ADDR = 1;
    expected.MASTER_MOD_BAUD = 1;
    for (int r = 0; r < REPEATER_COUNT; ++r) expected.MASTER_REPT_MAT[r] = static_cast<std::uint32_t>(r);
    for (int u = 0; u < UNIT_COUNT; ++u)
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            std::memcpy(expected.units[u].channels[c].tag, image.units[u].channels[c].tag, TAG_CAPACITY);
    EXPECT_TRUE(SameBytes(image, expected));
}

class LoadDefault : public ::testing::Test {
protected:
    CoreFixture f;
    TempDir start;
    TempDir elsewhere;
    // The file dialogs may have moved the working directory; the start directory still counts.
    testing::InDirectory moved{elsewhere.path()};

    void SetUp() override
    {
        f.state.startDirectory = start.path().string();
        WriteFile(elsewhere.file("default.mcf"), "MASTER_FREQ 0x1\r\n");
        std::memset(&f.state.current, 0x5A, sizeof f.state.current);
    }
};

TEST_F(LoadDefault, AMissingFileLeavesTheBuiltInDefaultAfterItsMessage)
{
    LoadDefaultConfiguration(f.state);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error),
              std::vector<std::string>{"Error opening the configuration file: default.mcf"});
    SystemConfiguration builtIn{};
    BuildDefaultConfiguration(builtIn);
    EXPECT_TRUE(SameBytes(f.state.disk, builtIn));
    EXPECT_TRUE(SameBytes(f.state.current, builtIn));
    EXPECT_TRUE(SameBytes(f.state.gateway, builtIn));
}

TEST_F(LoadDefault, TheFileOfTheStartDirectoryOverlaysAllThreeImages)
{
    WriteFile(start.file("default.mcf"), "MASTER_TAG \"Site A\"\r\nSLAVE_TYPE 0x01 0x0003\r\nCHANNEL 0x01 0x00 \"PT-101\" 0x0019\r\n");
    f.state.disk.MASTER_CABLE = 2;  // cleared before the file is read
    LoadDefaultConfiguration(f.state);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(FieldText(f.state.current.MASTER_TAG), "Site A");
    EXPECT_EQ(f.state.current.MASTER_CABLE, 0u);
    EXPECT_EQ(f.state.current.MASTER_FREQ, 0u);  // the working directory's file is not read
    EXPECT_EQ(f.state.current.units[1].SLAVE_TYPE, UNIT_KX927);
    EXPECT_EQ(FieldText(f.state.current.units[1].channels[0].tag), "PT-101");
    EXPECT_EQ(FieldText(f.state.current.units[1].channels[1].tag), "Tag 2.02");
    EXPECT_TRUE(SameBytes(f.state.disk, f.state.current));
    EXPECT_TRUE(SameBytes(f.state.gateway, f.state.current));
}

TEST_F(LoadDefault, AFaultyFileKeepsTheStatementsBeforeTheFault)
{
    WriteFile(start.file("default.mcf"), "MASTER_CABLE 0x0002\r\nMASTER_FREQ 0x0009\r\nMASTER_REPT 0x0001\r\n");
    LoadDefaultConfiguration(f.state);
    ASSERT_EQ(f.ui.texts(MessageIcon::Error).size(), 1u);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error)[0].rfind("File name :\tdefault.mcf\nError at line:\t2\n", 0), 0u);
    EXPECT_EQ(f.state.current.MASTER_CABLE, 2u);
    EXPECT_EQ(f.state.current.MASTER_REPT, 0u);
    EXPECT_TRUE(SameBytes(f.state.gateway, f.state.current));
}

} // namespace
} // namespace tarn
