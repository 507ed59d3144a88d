#include "config/safe_file.h"

#include "support/files.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

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

// Removes the injector even when an expectation fails half-way.
struct Injection {
    explicit Injection(SaveFaultInjector injector) { InstallSaveFaultInjector(std::move(injector)); }
    ~Injection() { InstallSaveFaultInjector({}); }
};

std::string Content(std::size_t size)
{
    std::string s;
    for (std::size_t i = 0; i < size; ++i) s.push_back(static_cast<char>('a' + i % 26));
    return s;
}

TEST(SafeFile, CreatesAndReplacesWholeFiles)
{
    TempDir dir;
    const fs::path target = dir.path() / "plant.mcf";
    EXPECT_EQ(SaveFileSafely(target.string(), "first\r\n"), SaveResult::Saved);
    EXPECT_EQ(ReadFile(target), "first\r\n");
    EXPECT_EQ(SaveFileSafely(target.string(), ""), SaveResult::Saved);
    EXPECT_EQ(ReadFile(target), "");
    const std::string big = Content(5 * SAVE_CHUNK_SIZE + 17);
    EXPECT_EQ(SaveFileSafely(target.string(), big), SaveResult::Saved);
    EXPECT_EQ(ReadFile(target), big);
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"plant.mcf"});
}

TEST(SafeFile, AFailureAtAnyStepLeavesTheOldFileAndNoTemporaryFile)
{
    const struct {
        SaveStep step;
        int failingCall;  // which call of that step fails (chunks count for Write)
        SaveResult result;
    } cases[] = {
        {SaveStep::Create, 1, SaveResult::CreateFailed},
        {SaveStep::Write, 1, SaveResult::WriteFailed},
        {SaveStep::Write, 3, SaveResult::WriteFailed},  // two chunks are already in the temporary file
        {SaveStep::Sync, 1, SaveResult::WriteFailed},
        {SaveStep::Rename, 1, SaveResult::WriteFailed},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const fs::path target = dir.path() / "KVR5160.Ini";
        const std::string old = "old content\r\n";
        WriteFile(target, old);
        int calls = 0;
        {
            Injection inject([&](SaveStep step) { return step == c.step && ++calls == c.failingCall; });
            EXPECT_EQ(SaveFileSafely(target.string(), Content(4 * SAVE_CHUNK_SIZE)), c.result);
        }
        EXPECT_EQ(calls, c.failingCall) << "the step was never reached";
        EXPECT_EQ(ReadFile(target), old);
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"KVR5160.Ini"});
    }
}

TEST(SafeFile, KeepsThePermissionsOfTheFileItReplaces)
{
    TempDir dir;
    const fs::path target = dir.path() / "plant.mcf";
    std::ofstream(target) << "x";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(SaveFileSafely(target.string(), "y"), SaveResult::Saved);
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const mode_t previous = ::umask(022);
    const fs::path fresh = dir.path() / "fresh.mcf";
    const SaveResult result = SaveFileSafely(fresh.string(), "z");
    ::umask(previous);
    ASSERT_EQ(result, SaveResult::Saved);
    EXPECT_EQ(fs::status(fresh).permissions(), static_cast<fs::perms>(0644));  // as any new file
}

TEST(SafeFile, FollowsASymbolicLinkAndKeepsIt)
{
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    const fs::path real = dir.path() / "real" / "plant.mcf";
    const fs::path link = dir.path() / "link.mcf";
    std::ofstream(real) << "old";
    fs::create_symlink(real, link);
    ASSERT_EQ(SaveFileSafely(link.string(), "new"), SaveResult::Saved);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "new");
}

TEST(SafeFile, PathsThatCannotBeAFile)
{
    TempDir dir;
    fs::create_directory(dir.path() / "folder.mcf");
    std::ofstream(dir.path() / "folder.mcf" / "inside") << "kept";
    const struct {
        std::string path;
    } cases[] = {
        {(dir.path() / "folder.mcf").string()},
        {(dir.path() / "missing" / "plant.mcf").string()},
        {dir.path().string() + "/"},
        {""},
    };
    for (const auto& c : cases) EXPECT_EQ(SaveFileSafely(c.path, "data"), SaveResult::CreateFailed) << c.path;
    EXPECT_EQ(ReadFile(dir.path() / "folder.mcf" / "inside"), "kept");
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"folder.mcf"});
}

} // namespace
} // namespace tarn
