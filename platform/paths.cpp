// Folder and path arithmetic shared by every system; only the separators differ.
#include "platform/paths.h"

namespace tarnwick::platform {
namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

}  // namespace

std::string FolderOf(const std::string& filePath) {
    std::size_t end = filePath.size();
    while (end > 0 && !IsSeparator(filePath[end - 1])) --end;
    // A folder given with its separator (the root above all) loses it, so that exactly one
    // separator stands between the folder and a file name.
    if (end > 0) --end;
    return filePath.substr(0, end);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + PathSeparator + name;
}

}  // namespace tarnwick::platform
