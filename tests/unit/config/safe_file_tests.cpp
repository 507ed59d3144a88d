#include "config/safe_file.h"

#include "support/files.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

namespace tarn {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::set<std::string> Names(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

TEST(SafeFile, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile)
{
    const struct {
        SaveStep step;
        int failingCall;  // which call of that step fails (chunks count for Write)
        bool inPlace;     // the folder takes no temporary file
        SaveResult result;
    } cases[] = {
        {SaveStep::Open, 1, false, SaveResult::CreateFailed},
        {SaveStep::Write, 1, false, SaveResult::WriteFailed},
        {SaveStep::Write, 3, false, SaveResult::WriteFailed},  // two chunks are already in the temporary file
        {SaveStep::Sync, 1, false, SaveResult::WriteFailed},
        {SaveStep::Rename, 1, false, SaveResult::WriteFailed},
        {SaveStep::Write, 1, true, SaveResult::WriteFailed},
        {SaveStep::Write, 3, true, SaveResult::WriteFailed},   // two chunks are already over the old bytes
        {SaveStep::Sync, 1, true, SaveResult::WriteFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.step) * 10 + c.failingCall + (c.inPlace ? 100 : 0));
        TempDir dir;
        const fs::path target = dir.path() / "KVR5160.Ini";
        const std::string old = "old content\r\n";
        WriteFile(target, old);
        int calls = 0;
        const SaveOptions inject{[&](SaveStep step) {
            return (c.inPlace && step == SaveStep::Create) || (step == c.step && ++calls == c.failingCall);
        }};
        EXPECT_EQ(SaveFileSafely(target.string(), std::string(4 * SAVE_CHUNK_SIZE, 'x'), nullptr, inject), c.result);
        EXPECT_EQ(calls, c.failingCall) << "the step was never reached";
        EXPECT_EQ(ReadFile(target), old);
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"KVR5160.Ini"});
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

} // namespace
} // namespace tarn
