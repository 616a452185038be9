#pragma once
// Replacing a file in one step: the bytes go to a temporary file in the same folder, which is
// flushed to disk and then put in place of the old file (POSIX rename; Win32 MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). On any failure the old file stays whole
// and no temporary file is left behind.
#include <string>
#include <string_view>

namespace tarnwick::platform {

struct ReplaceResult {
    bool ok = true;
    std::string error;  // "<path>: <what failed>: <the system's reason>" when !ok
};

// The new file keeps the old one's permissions (POSIX), or gets the usual ones of a new file.
ReplaceResult ReplaceFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace tarnwick::platform
