// Saving a whole file without harming its target. A regular file is written to a
// short temporary file beside it, flushed to the disk and renamed over the target
// only when complete, with the old file's mode and owner; where that cannot be done
// the file is written in place, as a plain save would.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarn {

enum class SaveResult {
    Saved,
    CreateFailed,  // the target cannot be opened for writing (no such folder, no permission); it is untouched
    WriteFailed,   // writing, flushing or the final rename failed; a regular target keeps its old bytes
};

// Writes content as the new file at path.
// - Symbolic links are followed to their final target, which is created when it does not
//   exist; the links stay.
// - An existing target that the user may not open for writing is refused (CreateFailed).
// - A target that is not a regular file (FIFO, terminal, device) is written in place.
// - A regular file is replaced through a temporary file beside it that takes its mode and
//   owner. It is written in place instead when its folder takes no temporary file, when the
//   owner cannot be given to the temporary file, or when it has more than one hard link;
//   a failure then writes the old bytes back.
// On any failure a regular target is left byte for byte as it was, and no temporary file
// stays behind. error, when given, receives the system's reason (an errno value) for a
// failure, 0 for a save.
struct SaveOptions;
SaveResult SaveFileSafely(const std::string& path, std::string_view content, int* error, const SaveOptions& options);

// The steps of a save at which a test may inject a failure.
enum class SaveStep {
    Open,    // opening the target, or creating a new one in place
    Create,  // making the temporary file (a failure makes the save write in place)
    Write,   // before each chunk, in the temporary file or in place
    Sync,
    Rename,
};
// Called before every step (before each chunk for Write); true makes that step fail.
using SaveFaultInjector = std::function<bool(SaveStep)>;
struct SaveOptions {
    SaveFaultInjector injector;  // none in the programs; tests make steps fail with it
};

inline SaveResult SaveFileSafely(const std::string& path, std::string_view content, int* error = nullptr)
{
    return SaveFileSafely(path, content, error, SaveOptions{});
}

// Content is written in chunks of this many bytes, so an injected write failure
// can leave a partly written file behind it.
inline constexpr std::size_t SAVE_CHUNK_SIZE = 512;

} // namespace tarn
