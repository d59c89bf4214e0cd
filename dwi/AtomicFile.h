#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dwi {

// Replaces the file at path with the bytes so that a failure at any point
// (no permission, missing folder, disk full, power loss, the program killed)
// leaves the old file as it was: the bytes go to a temporary file in the
// same folder, which is written, fsync'ed and closed, then renamed over the
// target, and the folder is fsync'ed so that the rename itself is on disk. A
// symbolic link is followed and its target replaced; an existing file's
// permissions are kept. Temporary files that a killed save left in the
// folder are removed first. Returns the reason on failure, nothing on success.
[[nodiscard]] std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                             std::string_view bytes);

// The marker in the name of every temporary file a save creates.
inline constexpr std::string_view kSaveTemporaryMarker = ".beatwright-save-";

} // namespace dwi
