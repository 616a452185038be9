// The program file's path and the system code page on POSIX: /proc/self/exe, and UTF-8, so
// texts pass unchanged.
#include <unistd.h>

#include <vector>

#include "platform/code_page.h"
#include "platform/paths.h"

namespace tarnwick::platform {

std::string ProgramFilePath() {
    std::vector<char> buffer(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

bool IsUtf8(CodePage) {
    return true;
}

std::string ToCodePage(std::string_view utf8, CodePage) {
    return std::string(utf8);
}

std::string FromCodePage(std::string_view bytes, CodePage) {
    return std::string(bytes);
}

}  // namespace tarnwick::platform
