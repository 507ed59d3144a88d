#include "config/safe_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <process.h>
#endif

namespace tarn {

namespace fs = std::filesystem;

namespace {

// The injector of the save running (its options'), for the steps below.
thread_local const SaveFaultInjector* t_injector = nullptr;

bool injected(SaveStep step) { return t_injector && *t_injector && (*t_injector)(step); }

// The system's reason for the failure of the save running; the first failure counts, as what
// follows it (removing the temporary file, writing old bytes back) is only tidying up.
thread_local int t_error = 0;

// Notes error (an injected failure has none: EIO) and returns false, for use in a condition.
bool Failed(int error)
{
    if (t_error == 0) t_error = error != 0 ? error : EIO;
    return false;
}

SaveResult Refused(int error)
{
    Failed(error);
    return SaveResult::CreateFailed;
}

} // namespace

#ifndef _WIN32

namespace {

constexpr int MAX_LINKS = 40;  // links followed in one path, as the kernel allows

std::string FolderOf(const std::string& file)
{
    const std::string folder = fs::path(file).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

// path with its symbolic links followed to the last one, also when that names a file that
// does not exist yet; empty when the links loop.
std::string FinalTarget(std::string path)
{
    for (int hops = 0; hops < MAX_LINKS; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size()) return {};
        link.resize(static_cast<std::size_t>(n));
        path = link.front() == '/' ? link : (fs::path(path).parent_path() / link).string();
    }
    return {};
}

// A write into a pipe whose reader has gone fails with EPIPE instead of ending the program.
class PipeSignalHeld {
public:
    PipeSignalHeld()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
        sigset_t pending;
        sigpending(&pending);
        drain_ = sigismember(&previous_, SIGPIPE) != 1 && sigismember(&pending, SIGPIPE) != 1;
    }
    ~PipeSignalHeld()
    {
        // Only a signal raised by the save itself is taken away.
        const timespec none{};
        if (drain_)
            while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
            }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

private:
    sigset_t pipe_{};
    sigset_t previous_{};
    bool drain_ = false;
};

bool WriteAll(int fd, std::string_view content, bool injectable)
{
    std::size_t done = 0;
    while (done < content.size()) {
        if (injectable && injected(SaveStep::Write)) return Failed(EIO);
        std::size_t chunk = std::min(content.size() - done, SAVE_CHUNK_SIZE);
        while (chunk > 0) {
            const ssize_t n = ::write(fd, content.data() + done, chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Failed(errno);
            if (n == 0) return Failed(ENOSPC);
            done += static_cast<std::size_t>(n);
            chunk -= static_cast<std::size_t>(n);
        }
    }
    return true;
}

bool ReadAll(const std::string& path, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bytes.clear();
    char buffer[8192];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return n == 0;
}

bool Flush(int fd)
{
    if (injected(SaveStep::Sync)) return Failed(EIO);
    return ::fsync(fd) == 0 || Failed(errno);
}

bool Close(int fd) { return ::close(fd) == 0 || Failed(errno); }

// A new, empty file with a short unique name in folder; -1 when the folder takes none.
int MakeTemporary(const std::string& folder, std::string& name)
{
    if (injected(SaveStep::Create)) return -1;
    name = folder + "/.tarn-XXXXXX";
    return ::mkostemp(name.data(), O_CLOEXEC);
}

// Gives the temporary file the owner and mode of the file it replaces; false when the owner
// cannot be kept (only root may give a file to another user).
bool TakeOver(int fd, const struct stat& old)
{
    struct stat mine {};
    if (::fstat(fd, &mine) != 0) return false;
    if ((mine.st_uid != old.st_uid || mine.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

// Writes the temporary file and renames it over target; the temporary file goes on failure.
SaveResult Commit(int fd, const std::string& temp, const std::string& target, std::string_view content)
{
    bool ok = WriteAll(fd, content, true) && Flush(fd);
    if (!Close(fd)) ok = false;
    if (ok && injected(SaveStep::Rename)) ok = Failed(EIO);
    if (ok && (::rename(temp.c_str(), target.c_str()) == 0 || Failed(errno))) {
        // Make the rename itself durable; the file is complete either way.
        const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            (void)::fsync(folder);
            ::close(folder);
        }
        return SaveResult::Saved;
    }
    ::unlink(temp.c_str());
    return SaveResult::WriteFailed;
}

// A regular file written over its old bytes (fd open for writing at offset 0). On failure the
// old bytes are written back, which needs no more room than they had.
SaveResult WriteInPlace(int fd, const std::string& target, std::string_view content)
{
    std::string old;
    const bool known = ReadAll(target, old);
    bool ok = WriteAll(fd, content, true) &&
              (::ftruncate(fd, static_cast<off_t>(content.size())) == 0 || Failed(errno)) && Flush(fd);
    if (!ok && known && ::lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, old, false))
        (void)(::ftruncate(fd, static_cast<off_t>(old.size())) == 0 && ::fsync(fd) == 0);
    if (!Close(fd)) ok = false;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

// A new file made where it is to be, when its folder takes no temporary file; removed again
// when it cannot be written whole.
SaveResult CreateInPlace(const std::string& target, std::string_view content)
{
    if (injected(SaveStep::Open)) return Refused(EIO);
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return Refused(errno);
    bool ok = WriteAll(fd, content, true) && Flush(fd);
    if (!Close(fd)) ok = false;
    if (ok) return SaveResult::Saved;
    ::unlink(target.c_str());
    return SaveResult::WriteFailed;
}

SaveResult CreateNew(const std::string& target, std::string_view content)
{
    std::string temp;
    const int fd = MakeTemporary(FolderOf(target), temp);
    if (fd < 0) return CreateInPlace(target, content);
    // The mode any new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
    return Commit(fd, temp, target, content);
}

SaveResult ReplaceRegular(const std::string& target, const struct stat& old, std::string_view content)
{
    // The kernel decides whether this user may write the file (mode, ACLs, read-only mounts).
    if (injected(SaveStep::Open)) return Refused(EIO);
    const int targetFd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (targetFd < 0) return Refused(errno);
    // A rename would cut the other hard links off the new content.
    std::string temp;
    int fd = old.st_nlink > 1 ? -1 : MakeTemporary(FolderOf(target), temp);
    if (fd >= 0 && !TakeOver(fd, old)) {
        ::close(fd);
        ::unlink(temp.c_str());
        fd = -1;
    }
    if (fd < 0) return WriteInPlace(targetFd, target, content);
    ::close(targetFd);
    return Commit(fd, temp, target, content);
}

// A FIFO, a terminal or a device: its reader gets the bytes, as from a plain save.
SaveResult WriteStream(const std::string& path, std::string_view content)
{
    if (injected(SaveStep::Open)) return Refused(EIO);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Refused(errno);
    bool ok = false;
    {
        PipeSignalHeld held;
        ok = WriteAll(fd, content, true);
    }
    if (!Close(fd)) ok = false;
    return ok ? SaveResult::Saved : SaveResult::WriteFailed;
}

SaveResult Save(const std::string& path, std::string_view content)
{
    if (path.empty()) return Refused(ENOENT);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return Refused(errno);
        const std::string target = FinalTarget(path);
        if (target.empty()) return Refused(ELOOP);
        if (fs::path(target).filename().empty()) return Refused(EISDIR);
        return CreateNew(target, content);
    }
    if (S_ISDIR(st.st_mode)) return Refused(EISDIR);
    // Opened by its own name, so that links such as /dev/stdout reach what they stand for.
    if (!S_ISREG(st.st_mode)) return WriteStream(path, content);
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return Refused(errno);
    const std::string target(real);
    std::free(real);
    return ReplaceRegular(target, st, content);
}

} // namespace

SaveResult SaveFileSafely(const std::string& path, std::string_view content, int* error, const SaveOptions& options)
{
    t_error = 0;
    t_injector = &options.injector;
    const SaveResult result = Save(path, content);
    t_injector = nullptr;
    if (error) *error = result == SaveResult::Saved ? 0 : (t_error != 0 ? t_error : EIO);
    return result;
}

#else

namespace {

// The file a save replaces: a symbolic link is followed so that the link survives.
fs::path resolveTarget(const std::string& path)
{
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) return resolved;
    }
    return target;
}

// A short name beside the target that no other save of this process uses.
fs::path temporaryName(const fs::path& target)
{
    static unsigned counter = 0;
    return target.parent_path() / (".tarn-" + std::to_string(_getpid()) + "-" + std::to_string(counter++));
}

} // namespace

SaveResult SaveFileSafely(const std::string& path, std::string_view content, int* error, const SaveOptions& options)
{
    struct Injecting {
        explicit Injecting(const SaveFaultInjector& injector) { t_injector = &injector; }
        ~Injecting() { t_injector = nullptr; }
    } injecting(options.injector);
    if (error) *error = EIO;  // this port keeps no reason of its own
    if (path.empty()) return SaveResult::CreateFailed;
    const fs::path target = resolveTarget(path);
    std::error_code ec;
    if (target.filename().empty() || fs::is_directory(target, ec)) return SaveResult::CreateFailed;
    if (injected(SaveStep::Open) || injected(SaveStep::Create)) return SaveResult::CreateFailed;
    const fs::path temp = temporaryName(target);
    std::FILE* file = _wfopen(temp.c_str(), L"wbx");
    if (!file) return SaveResult::CreateFailed;
    auto fail = [&] {
        if (file) std::fclose(file);
        fs::remove(temp, ec);
        return SaveResult::WriteFailed;
    };
    for (std::size_t done = 0; done < content.size();) {
        if (injected(SaveStep::Write)) return fail();
        const std::size_t chunk = std::min(content.size() - done, SAVE_CHUNK_SIZE);
        if (std::fwrite(content.data() + done, 1, chunk, file) != chunk) return fail();
        done += chunk;
    }
    if (injected(SaveStep::Sync) || std::fflush(file) != 0) return fail();
    const int closed = std::fclose(file);
    file = nullptr;
    if (closed != 0) return fail();
    if (injected(SaveStep::Rename)) return fail();
    fs::rename(temp, target, ec);  // replaces an existing target
    if (ec) return fail();
    if (error) *error = 0;
    return SaveResult::Saved;
}

#endif

} // namespace tarn
