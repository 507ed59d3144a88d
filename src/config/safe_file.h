// Saving a whole file so that a failure never costs the previous version: the
// bytes go to a temporary file beside the target, are flushed to the disk, and
// only a complete file is renamed over the target.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarn {

enum class SaveResult {
    Saved,
    CreateFailed,  // the temporary file could not be made (no such folder, no permission)
    WriteFailed,   // writing, flushing or the final rename failed; the temporary file is gone
};

// Writes content as the new file at path. The target keeps its permissions when
// it exists; a symbolic link is followed, so the file it names is replaced and the
// link stays. On any failure the target is untouched, byte for byte.
SaveResult SaveFileSafely(const std::string& path, std::string_view content);

// The steps of a save at which a test may inject a failure.
enum class SaveStep { Create, Write, Sync, Rename };
// Called before every step (before each chunk for Write); true makes that step fail.
using SaveFaultInjector = std::function<bool(SaveStep)>;
// An empty injector removes it. Only tests install one.
void InstallSaveFaultInjector(SaveFaultInjector injector);

// Content is written in chunks of this many bytes, so an injected write failure
// can leave a partly written temporary file behind it.
inline constexpr std::size_t SAVE_CHUNK_SIZE = 512;

} // namespace tarn
