#include "config/safe_file.h"

#include "support/files.h"
#include "support/recording_ui.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <thread>
#include <utility>

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

struct stat Stat(const fs::path& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st;
}

std::string Content(std::size_t size)
{
    std::string s;
    for (std::size_t i = 0; i < size; ++i) s.push_back(static_cast<char>('a' + i % 26));
    return s;
}

// Reads from fd until size bytes have come or nothing has come for 5 s.
std::string ReadUpTo(int fd, std::size_t size)
{
    std::string got;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (got.size() < size && ::poll(&p, 1, 5000) > 0) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
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
        EXPECT_EQ(SaveFileSafely(target.string(), Content(4 * SAVE_CHUNK_SIZE), nullptr, inject), c.result);
        EXPECT_EQ(calls, c.failingCall) << "the step was never reached";
        EXPECT_EQ(ReadFile(target), old);
        EXPECT_EQ(Names(dir.path()), std::set<std::string>{"KVR5160.Ini"});
    }
}

fs::path MakeFile(const fs::path& path, mode_t mode)
{
    WriteFile(path, "old bytes");
    ::chmod(path.c_str(), mode);
    return path;
}

mode_t Mode(const fs::path& path) { return Stat(path).st_mode & 07777; }

// What a save does to each kind of target, saved by whoever runs the tests.
TEST(SafeFile, EachKindOfTargetKeepsWhatItIs)
{
    const std::string content = "new content";  // no line break: a terminal would add a CR to it
    const std::string longName(249, 'n');
    const mode_t previousMask = ::umask(022);
    int fd = -1;  // the reader of the FIFO, the master of the terminal
    struct Row {
        const char* name;
        std::function<fs::path(const fs::path& dir)> make;     // gives the path to save to
        std::function<std::string(const fs::path& dir)> got;  // what reached the target
    };
    const Row rows[] = {
        {"a new file", [](auto& d) { return d / "new.mcf"; },
         [](auto& d) { EXPECT_EQ(Mode(d / "new.mcf"), 0644u); return ReadFile(d / "new.mcf"); }},
        {"a file keeps its mode", [](auto& d) { return MakeFile(d / "plant.mcf", 0640); },
         [](auto& d) { EXPECT_EQ(Mode(d / "plant.mcf"), 0640u); return ReadFile(d / "plant.mcf"); }},
        {"a chain of links to a file",
         [](auto& d) {
             MakeFile(d / "plant.mcf", 0644);
             fs::create_symlink("plant.mcf", d / "first");
             fs::create_symlink(d / "first", d / "second");
             return d / "second";
         },
         [](auto& d) {
             EXPECT_TRUE(fs::is_symlink(d / "first") && fs::is_symlink(d / "second"));
             return ReadFile(d / "plant.mcf");
         }},
        {"a dangling link creates the file it names",
         [](auto& d) {
             fs::create_symlink("plant.mcf", d / "link");
             return d / "link";
         },
         [](auto& d) {
             EXPECT_TRUE(fs::is_symlink(d / "link"));
             return ReadFile(d / "plant.mcf");
         }},
        {"a name of 249 characters", [&](auto& d) { return d / longName; }, [&](auto& d) { return ReadFile(d / longName); }},
        {"a file with a second hard link",
         [](auto& d) {
             fs::create_hard_link(MakeFile(d / "plant.mcf", 0644), d / "copy");
             return d / "plant.mcf";
         },
         [](auto& d) { return ReadFile(d / "copy"); }},
        {"a FIFO",
         [&](auto& d) {
             ::mkfifo((d / "fifo").c_str(), 0600);
             fd = ::open((d / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
             return d / "fifo";
         },
         [&](auto& d) {
             EXPECT_TRUE(S_ISFIFO(Stat(d / "fifo").st_mode));
             return ReadUpTo(fd, content.size());
         }},
        {"a link to a terminal",
         [&](auto& d) {
             fd = ::posix_openpt(O_RDWR | O_NOCTTY);
             EXPECT_EQ(::grantpt(fd) | ::unlockpt(fd), 0);
             fs::create_symlink(::ptsname(fd), d / "terminal");
             return d / "terminal";
         },
         [&](auto& d) {
             EXPECT_TRUE(fs::is_symlink(d / "terminal"));
             return ReadUpTo(fd, content.size());
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        EXPECT_EQ(SaveFileSafely(row.make(dir.path()).string(), content), SaveResult::Saved);
        EXPECT_EQ(row.got(dir.path()), content);
        for (const std::string& name : Names(dir.path())) EXPECT_NE(name[0], '.') << "a temporary file stayed";
        if (fd >= 0) ::close(std::exchange(fd, -1));
    }
    ::umask(previousMask);
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
    std::thread save([&] { result = SaveFileSafely(fifo.string(), Content(4 << 20)); });
    EXPECT_FALSE(ReadUpTo(reader, 1).empty()) << "the save never wrote";
    ::close(reader);
    save.join();
    EXPECT_EQ(result, SaveResult::WriteFailed);
}

// Runs a save as nobody in a child process; nothing when the user cannot be changed.
std::optional<SaveResult> SaveAsNobody(const fs::path& path, const std::string& content)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
        ::_exit(static_cast<int>(SaveFileSafely(path.string(), content)));
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 100)
        return std::nullopt;
    return static_cast<SaveResult>(WEXITSTATUS(status));
}

// Files of one user saved by another: what the system lets each of them do.
TEST(SafeFile, OwnersAndPermissionsAreRespected)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
    const uid_t nobody = 65534;  // group nogroup, 65534, goes with it
    const struct {
        const char* name;
        bool byNobody;  // else by root
        uid_t folderOwner, fileOwner;
        mode_t fileMode;
        SaveResult result;
    } rows[] = {
        {"a write-protected file is refused", true, nobody, nobody, 0444, SaveResult::CreateFailed},
        {"a writable file in a folder the user cannot write", true, 0, nobody, 0644, SaveResult::Saved},
        {"another user's writable file", true, nobody, 0, 0666, SaveResult::Saved},
        {"another user's file saved by root", false, 0, nobody, 0640, SaveResult::Saved},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir top;
        const fs::path dir = top.path() / "folder";
        fs::create_directory(dir);
        const fs::path target = MakeFile(dir / "plant.mcf", row.fileMode);
        ASSERT_EQ(::chmod(top.path().c_str(), 0755) | ::chown(dir.c_str(), row.folderOwner, row.folderOwner) |
                      ::chown(target.c_str(), row.fileOwner, row.fileOwner),
                  0);
        const std::optional<SaveResult> result =
            row.byNobody ? SaveAsNobody(target, "new bytes") : SaveFileSafely(target.string(), "new bytes");
        if (!result) GTEST_SKIP() << "this system does not let a test become nobody";
        EXPECT_EQ(*result, row.result);
        EXPECT_EQ(ReadFile(target), row.result == SaveResult::Saved ? "new bytes" : "old bytes");
        EXPECT_EQ(Names(dir), std::set<std::string>{"plant.mcf"});
        const struct stat after = Stat(target);
        EXPECT_EQ(after.st_uid, row.fileOwner);
        EXPECT_EQ(after.st_gid, row.fileOwner);
        EXPECT_EQ(after.st_mode & 07777, row.fileMode);
    }
}

TEST(SafeFile, PathsThatCannotBeAFile)
{
    TempDir dir;
    fs::create_directory(dir.path() / "folder.mcf");
    std::ofstream(dir.path() / "folder.mcf" / "inside") << "kept";
    fs::create_symlink("loop.mcf", dir.path() / "loop.mcf");
    const std::string cases[] = {
        (dir.path() / "folder.mcf").string(),
        (dir.path() / "missing" / "plant.mcf").string(),
        dir.path().string() + "/",
        (dir.path() / "loop.mcf").string(),
        "",
    };
    for (const std::string& path : cases) EXPECT_EQ(SaveFileSafely(path, "data"), SaveResult::CreateFailed) << path;
    EXPECT_EQ(ReadFile(dir.path() / "folder.mcf" / "inside"), "kept");
    EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"folder.mcf", "loop.mcf"}));
}

} // namespace
} // namespace tarn
