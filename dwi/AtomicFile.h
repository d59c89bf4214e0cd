#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dwi {

// Replaces the file at path with the bytes so that a failure at any point
// (no permission, missing folder, disk full) leaves the old file as it was:
// the bytes go to a temporary file in the same folder, which is flushed,
// closed and then renamed over the target. A symbolic link is followed and
// its target replaced; an existing file's permissions are kept.
// Returns the reason on failure, nothing on success.
[[nodiscard]] std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                             std::string_view bytes);

} // namespace dwi
