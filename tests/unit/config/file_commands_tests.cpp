#include "config/default_config.h"

#include "config/app_state.h"
#include "config/config_file.h"
#include "config/file_commands.h"
#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tarn {
namespace {

using testing::CoreFixture;
using testing::ReadFile;
using testing::SameBytes;
using testing::TempDir;
using testing::WriteFile;

// The file dialogs may have moved the working directory: the start directory's file counts.
TEST(LoadDefault, TheFileOfTheStartDirectoryOverlaysAllThreeImages)
{
    CoreFixture f;
    TempDir start;
    TempDir elsewhere;
    testing::InDirectory moved{elsewhere.path()};
    f.state.startDirectory = start.path().string();
    WriteFile(elsewhere.file("default.mcf"), "MASTER_FREQ 0x1\r\n");
    WriteFile(start.file("default.mcf"), "MASTER_TAG \"Site A\"\r\nSLAVE_TYPE 0x01 0x0003\r\nCHANNEL 0x01 0x00 \"PT-101\" 0x0019\r\n");
    std::memset(&f.state.current, 0x5A, sizeof f.state.current);  // the defaults are built before the file is read
    LoadDefaultConfiguration(f.state);
    EXPECT_TRUE(f.ui.messages.empty());
    EXPECT_EQ(FieldText(f.state.current.MASTER_TAG), "Site A");
    EXPECT_EQ(f.state.current.MASTER_CABLE, 0u);
    EXPECT_EQ(f.state.current.MASTER_FREQ, 0u);
    EXPECT_EQ(f.state.current.units[1].SLAVE_TYPE, UNIT_KX927);
    EXPECT_EQ(FieldText(f.state.current.units[1].channels[0].tag), "PT-101");
    EXPECT_EQ(FieldText(f.state.current.units[1].channels[1].tag), "Tag 2.02");
    EXPECT_TRUE(SameBytes(f.state.disk, f.state.current));
    EXPECT_TRUE(SameBytes(f.state.gateway, f.state.current));
}

// A failed save keeps the file as it was and the image marked as not saved.
TEST(FileSave, WritesTheCurrentImageAndClearsOnlyTheFileFlag)
{
    CoreFixture f;
    TempDir dir;
    BuildDefaultConfiguration(f.state.current);
    SetFieldText(f.state.current.MASTER_TAG, "Edited");
    f.state.currentFileName = dir.file("plant.mcf");
    f.state.FileModified = f.state.GatewayModified = true;
    EXPECT_EQ(FileSave(f.state), 1);
    const std::string saved = FormatConfiguration(f.state.current);
    EXPECT_EQ(ReadFile(f.state.currentFileName), saved);
    EXPECT_FALSE(f.state.FileModified);
    EXPECT_TRUE(f.state.GatewayModified);

    f.state.FileModified = true;
    SetFieldText(f.state.current.MASTER_TAG, "Lost");
    f.state.saving.injector = [](SaveStep step) { return step == SaveStep::Rename; };
    EXPECT_EQ(FileSave(f.state), 0);
    EXPECT_TRUE(f.state.FileModified);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error),
              std::vector<std::string>{"Error writing to the configuration file: " + f.state.currentFileName});
    EXPECT_EQ(ReadFile(f.state.currentFileName), saved);
}

} // namespace
} // namespace tarn
