// Saving: the safe save under every file the program writes, and the file commands over it.
#include "config/config_file.h"
#include "config/default_config.h"
#include "config/file_commands.h"
#include "config/safe_file.h"
#include "support/files.h"
#include "support/recording_ui.h"
#include "support/sample_installation.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SafeFile, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile)
{
    // The step, which call of it fails (chunks count for Write), whether the folder takes no
    // temporary file, the result.
    const std::tuple<SaveStep, int, bool, SaveResult> cases[] = {
        {SaveStep::Open, 1, false, SaveResult::CreateFailed},
        {SaveStep::Write, 3, false, SaveResult::WriteFailed},  // two chunks are already in the temporary file
        {SaveStep::Sync, 1, false, SaveResult::WriteFailed},
        {SaveStep::Rename, 1, false, SaveResult::WriteFailed},
        {SaveStep::Write, 3, true, SaveResult::WriteFailed},   // two chunks are already over the old bytes
        {SaveStep::Sync, 1, true, SaveResult::WriteFailed},
    };
    for (const auto& [failing, failingCall, inPlace, result] : cases) {
        SCOPED_TRACE(static_cast<int>(failing) * 10 + failingCall + (inPlace ? 100 : 0));
        TempDir dir;
        const fs::path target = dir.path() / "KVR5160.Ini";
        const std::string old = "old content\r\n";
        WriteFile(target, old);
        int calls = 0;
        // Copies: clang 14 cannot capture structured bindings.
        const SaveOptions inject{[&calls, failing = failing, failingCall = failingCall, inPlace = inPlace](SaveStep step) {
            return (inPlace && step == SaveStep::Create) || (step == failing && ++calls == failingCall);
        }};
        EXPECT_EQ(SaveFileSafely(target.string(), std::string(4 * SAVE_CHUNK_SIZE, 'x'), nullptr, inject), result);
        EXPECT_EQ(calls, failingCall) << "the step was never reached";
        EXPECT_EQ(ReadFile(target), old);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "a temporary file was left";
    }
}

TEST(SafeFile, AReaderThatGoesAwayFailsTheSaveWithoutEndingTheProgram)
{
    TempDir dir;
    const fs::path fifo = dir.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    // More than a pipe holds: the writer still has bytes to give when the reader goes.
    std::optional<SaveResult> result;
    std::thread save([&] { result = SaveFileSafely(fifo.string(), std::string(4 << 20, 'x')); });
    pollfd p{reader, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 5000), 1) << "the save never wrote";
    ::close(reader);
    save.join();
    EXPECT_EQ(result, SaveResult::WriteFailed);
}

// The file dialogs may have moved the working directory: the start directory's file counts.
TEST(LoadDefault, TheFileOfTheStartDirectoryOverlaysAllThreeImages)
{
    testing::CoreFixture f;
    TempDir start;
    TempDir elsewhere;
    const fs::path previous = fs::current_path();
    fs::current_path(elsewhere.path());
    f.state.startDirectory = start.path().string();
    WriteFile(elsewhere.file("default.mcf"), "MASTER_FREQ 0x1\r\n");
    WriteFile(start.file("default.mcf"), "MASTER_TAG \"Site A\"\r\n");
    std::memset(&f.state.current, 0x5A, sizeof f.state.current);  // the defaults are built before the file is read
    LoadDefaultConfiguration(f.state);
    EXPECT_EQ(FieldText(f.state.current.MASTER_TAG), "Site A");
    EXPECT_EQ(f.state.current.MASTER_FREQ, 0u);
    EXPECT_EQ(FieldText(f.state.current.units[1].channels[1].tag), "Tag 2.02");
    EXPECT_TRUE(testing::SameBytes(f.state.disk, f.state.current));
    EXPECT_TRUE(testing::SameBytes(f.state.gateway, f.state.current));
    fs::current_path(previous);
}

// A failed save keeps the file as it was and the image marked as not saved.
TEST(FileSave, WritesTheCurrentImageAndClearsOnlyTheFileFlag)
{
    testing::CoreFixture f;
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
