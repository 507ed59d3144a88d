#include "config/safe_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tarn {

namespace fs = std::filesystem;

namespace {

SaveFaultInjector g_injector;
std::atomic<unsigned> g_counter{0};

bool injected(SaveStep step) { return g_injector && g_injector(step); }

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

// A name beside the target that no other save (of this or another process) uses.
fs::path temporaryName(const fs::path& target, unsigned attempt)
{
    std::string name = "." + target.filename().string() + ".tmp-";
#ifdef _WIN32
    name += std::to_string(attempt);
#else
    name += std::to_string(static_cast<long>(::getpid()));
#endif
    name += "-" + std::to_string(g_counter.fetch_add(1)) + "-" + std::to_string(attempt);
    return target.parent_path() / name;
}

} // namespace

void InstallSaveFaultInjector(SaveFaultInjector injector) { g_injector = std::move(injector); }

#ifndef _WIN32

SaveResult SaveFileSafely(const std::string& path, std::string_view content)
{
    if (path.empty()) return SaveResult::CreateFailed;
    const fs::path target = resolveTarget(path);
    if (target.filename().empty()) return SaveResult::CreateFailed;

    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    // A folder cannot be opened for writing: that is a failure to create, as it always was.
    if (exists && S_ISDIR(existing.st_mode)) return SaveResult::CreateFailed;
    if (injected(SaveStep::Create)) return SaveResult::CreateFailed;

    fs::path temp;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = temporaryName(target, attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return SaveResult::CreateFailed;

    auto fail = [&] {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return SaveResult::WriteFailed;
    };

    // Best effort: a file we may not chmod still gets the umask's permissions.
    if (exists) (void)::fchmod(fd, existing.st_mode & 07777);

    std::size_t done = 0;
    while (done < content.size()) {
        if (injected(SaveStep::Write)) return fail();
        std::size_t chunk = content.size() - done;
        if (chunk > SAVE_CHUNK_SIZE) chunk = SAVE_CHUNK_SIZE;
        while (chunk > 0) {
            const ssize_t n = ::write(fd, content.data() + done, chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fail();
            done += static_cast<std::size_t>(n);
            chunk -= static_cast<std::size_t>(n);
        }
    }
    if (injected(SaveStep::Sync) || ::fsync(fd) != 0) return fail();
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail();
    if (injected(SaveStep::Rename) || ::rename(temp.c_str(), target.c_str()) != 0) return fail();

    // Make the rename itself durable; the file is complete either way.
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return SaveResult::Saved;
}

#else

SaveResult SaveFileSafely(const std::string& path, std::string_view content)
{
    if (path.empty()) return SaveResult::CreateFailed;
    const fs::path target = resolveTarget(path);
    std::error_code ec;
    if (target.filename().empty() || fs::is_directory(target, ec)) return SaveResult::CreateFailed;
    if (injected(SaveStep::Create)) return SaveResult::CreateFailed;

    const fs::path temp = temporaryName(target, 0);
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
    return SaveResult::Saved;
}

#endif

} // namespace tarn
