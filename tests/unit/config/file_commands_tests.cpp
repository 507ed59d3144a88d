#include "config/file_commands.h"

#include "config/app_state.h"
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::CoreFixture;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::string kNewQuestion = "A new default\n\nWill overwite any change\n\nProceed anyway?\n\n";
const std::string kOpenQuestion = "Loading a file\n\nAny change will be lost!\n\nProceed anyway?\n\n";

class FileCommands : public ::testing::Test {
protected:
    CoreFixture f;
    TempDir dir;
    std::string previousName;

    void SetUp() override
    {
        f.state.startDirectory = dir.path().string();
        WriteFile(dir.file("default.mcf"), "MASTER_TAG \"Default\"\r\n");
        WriteFile(dir.file("plant.mcf"), "MASTER_TAG \"Plant\"\r\nSLAVE_TYPE 0x00 0x0001\r\n");
        WriteFile(dir.file("bad.mcf"), "// bad\r\nMASTER_TAG \"Bad\"\r\n\r\nMASTER_FREQ 0x1\r\nMASTER_CABLE 0x9\r\n");
        LoadDefaultConfiguration(f.state);
        ASSERT_TRUE(f.ui.messages.empty());
        SetFieldText(f.state.current.MASTER_TAG, "Edited");
        previousName = dir.file("previous.mcf");
        f.state.currentFileName = previousName;
        f.ui.repaints = 0;
    }

    std::string CurrentTag() const { return std::string(FieldText(f.state.current.MASTER_TAG)); }
};

TEST_F(FileCommands, NewAndOpenAskOnlyWithUnsavedChanges)
{
    const struct {
        bool fileModified, gatewayModified;
        bool answer;
        bool asked, proceeds;
    } cases[] = {
        {false, false, false, false, true},
        {true, false, true, true, true},
        {false, true, true, true, true},   // after a Save the gateway flag alone still asks
        {true, true, false, true, false},
        {false, true, false, true, false},
    };
    for (bool open : {false, true}) {
        for (const auto& c : cases) {
            f.ui.messages.clear();
            f.ui.fileDialogTitles.clear();
            SetUp();
            f.state.FileModified = c.fileModified;
            f.state.GatewayModified = c.gatewayModified;
            f.ui.answers = {c.answer};
            f.ui.openChoices = {dir.file("plant.mcf")};
            open ? FileOpen(f.state) : FileNew(f.state);

            const std::string what = (open ? "open " : "new ") + std::to_string(&c - cases);
            ASSERT_EQ(f.ui.messages.size(), c.asked ? 1u : 0u) << what;
            if (c.asked) {
                EXPECT_EQ(f.ui.messages[0].text, open ? kOpenQuestion : kNewQuestion) << what;
            }
            EXPECT_EQ(f.ui.fileDialogTitles.size(), open && c.proceeds ? 1u : 0u) << what;
            if (c.proceeds) {
                EXPECT_EQ(CurrentTag(), open ? "Plant" : "Default") << what;
                EXPECT_EQ(f.state.currentFileName, open ? dir.file("plant.mcf") : "") << what;
                EXPECT_FALSE(f.state.FileModified || f.state.GatewayModified) << what;
                EXPECT_EQ(f.ui.repaints, 1) << what;
            } else {
                EXPECT_EQ(CurrentTag(), "Edited") << what;
                EXPECT_EQ(f.state.currentFileName, previousName) << what;
                EXPECT_EQ(f.state.FileModified, c.fileModified) << what;
                EXPECT_EQ(f.state.GatewayModified, c.gatewayModified) << what;
                EXPECT_EQ(f.ui.repaints, 0) << what;
            }
        }
    }
}

TEST_F(FileCommands, NewLoadsTheDefaultIntoCurrentAndGateway)
{
    f.state.gateway.MASTER_CABLE = 3;
    FileNew(f.state);
    EXPECT_EQ(CurrentTag(), "Default");
    EXPECT_EQ(std::string(FieldText(f.state.gateway.MASTER_TAG)), "Default");
    EXPECT_EQ(f.state.gateway.MASTER_CABLE, 0u);
}

TEST_F(FileCommands, ACancelledOrFailedOpenChangesNothing)
{
    f.state.FileModified = true;
    f.ui.answers = {true, true};
    f.ui.openChoices = {std::nullopt, dir.file("bad.mcf")};
    FileOpen(f.state);
    EXPECT_EQ(f.ui.messages.size(), 1u);  // the question only
    FileOpen(f.state);
    ASSERT_EQ(f.ui.texts(MessageIcon::Error).size(), 1u);
    EXPECT_NE(f.ui.texts(MessageIcon::Error)[0].find("Error at line:\t5\n"), std::string::npos);
    EXPECT_EQ(CurrentTag(), "Edited");
    EXPECT_EQ(f.state.currentFileName, previousName);
    EXPECT_TRUE(f.state.FileModified);
    EXPECT_EQ(f.ui.repaints, 0);
    EXPECT_EQ(f.ui.fileDialogTitles, (std::vector<std::string>{"Open a Multiplexer Configuration",
                                                                "Open a Multiplexer Configuration"}));
}

TEST_F(FileCommands, SaveWritesTheCurrentImageAndClearsOnlyTheFileFlag)
{
    f.state.FileModified = f.state.GatewayModified = true;
    EXPECT_EQ(FileSave(f.state), 1);
    EXPECT_EQ(ReadFile(previousName), FormatConfiguration(f.state.current));
    EXPECT_NE(ReadFile(previousName).find("\"Edited\""), std::string::npos);
    EXPECT_FALSE(f.state.FileModified);
    EXPECT_TRUE(f.state.GatewayModified);

    f.state.FileModified = true;
    SetFieldText(f.state.current.MASTER_TAG, "Lost");
    f.state.saving.injector = [](SaveStep step) { return step == SaveStep::Rename; };
    EXPECT_EQ(FileSave(f.state), 0);
    f.state.saving.injector = {};
    EXPECT_TRUE(f.state.FileModified);
    EXPECT_EQ(f.ui.texts(MessageIcon::Error),
              std::vector<std::string>{"Error writing to the configuration file: " + previousName});
    EXPECT_NE(ReadFile(previousName).find("\"Edited\""), std::string::npos);
}

TEST_F(FileCommands, SaveAsAppendsMcfOnlyWhenThePathHasNoDot)
{
    fs::create_directory(dir.path() / "my.site");
    const struct {
        std::string chosen, stored;
    } cases[] = {
        {dir.file("plant2"), dir.file("plant2.mcf")},
        {dir.file("plant2.cfg"), dir.file("plant2.cfg")},
        {dir.file("my.site/unit"), dir.file("my.site/unit")},
    };
    for (const auto& c : cases) {
        f.state.FileModified = f.state.GatewayModified = true;
        f.ui.saveChoices = {c.chosen};
        f.ui.repaints = 0;
        EXPECT_EQ(FileSaveAs(f.state, true), 1) << c.chosen;
        EXPECT_EQ(ReadFile(c.stored), FormatConfiguration(f.state.current)) << c.chosen;
        EXPECT_EQ(f.state.currentFileName, c.stored);
        EXPECT_FALSE(f.state.FileModified);
        EXPECT_TRUE(f.state.GatewayModified);
        EXPECT_EQ(f.ui.repaints, 1);
    }
    EXPECT_EQ(f.ui.fileDialogTitles.back(), "Save a Multiplexer Configuration");
}

TEST_F(FileCommands, SaveACopyAndFailedOrCancelledSaveAsChangeNoState)
{
    f.state.FileModified = true;
    const struct {
        std::optional<std::string> chosen;
        bool makeCurrent;
        int result;
        std::string errorBox;
    } cases[] = {
        {dir.file("copy"), false, 1, ""},
        {std::nullopt, true, 0, ""},
        {dir.file("missing/plant.mcf"), true, 0,
         "Error opening the configuration file: " + dir.file("missing/plant.mcf")},
    };
    for (const auto& c : cases) {
        f.ui.messages.clear();
        f.ui.saveChoices = {c.chosen};
        EXPECT_EQ(FileSaveAs(f.state, c.makeCurrent), c.result);
        EXPECT_EQ(f.state.currentFileName, previousName);
        EXPECT_TRUE(f.state.FileModified);
        EXPECT_EQ(f.ui.repaints, 0);
        EXPECT_EQ(f.ui.texts(MessageIcon::Error).size(), c.errorBox.empty() ? 0u : 1u);
        if (!c.errorBox.empty()) {
            EXPECT_EQ(f.ui.texts(MessageIcon::Error).at(0), c.errorBox);
        }
    }
    EXPECT_EQ(ReadFile(dir.file("copy.mcf")), FormatConfiguration(f.state.current));
}

TEST_F(FileCommands, ChooseAndReadGivesThePathOnlyAfterAGoodRead)
{
    f.ui.openChoices = {dir.file("plant.mcf"), dir.file("bad.mcf"), std::nullopt};
    EXPECT_EQ(ChooseAndReadConfigurationFile(f.state), dir.file("plant.mcf"));
    EXPECT_EQ(std::string(FieldText(f.state.disk.MASTER_TAG)), "Plant");
    EXPECT_EQ(f.state.disk.units[0].SLAVE_TYPE, UNIT_KX913);
    EXPECT_EQ(ChooseAndReadConfigurationFile(f.state), std::nullopt);
    EXPECT_EQ(std::string(FieldText(f.state.disk.MASTER_TAG)), "Bad");  // staging area only
    EXPECT_EQ(ChooseAndReadConfigurationFile(f.state), std::nullopt);
    EXPECT_EQ(CurrentTag(), "Edited");
    EXPECT_EQ(ConfigurationFileFilter(), "Multiplexer Configuration Files (*.mcf)");
}

} // namespace
} // namespace tarn
