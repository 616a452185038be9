// ReplaceFileAtomically on POSIX: mkstemp in the target's folder, the old file's permissions (or
// the umask's), write, fsync, rename over the target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/paths.h"

namespace tarnwick::platform {
namespace {

std::string Reason(const std::string& path, const char* what, int err) {
    return path + ": " + what + ": " + std::strerror(err);
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

ReplaceResult ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? "." : FolderOf(path);
    const std::string pattern = folder + "/." + name + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');

    int fd = ::mkstemp(temp.data());
    if (fd < 0) return {false, Reason(path, "cannot create a temporary file", errno)};
    const std::string tempPath(temp.data());

    // The new file takes the old one's permissions, or the usual ones for a new file.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    auto fail = [&](const char* what) {
        int err = errno;
        ::close(fd);
        ::unlink(tempPath.c_str());
        return ReplaceResult{false, Reason(path, what, err)};
    };
    if (::fchmod(fd, mode) != 0) return fail("cannot set permissions");
    if (!WriteAll(fd, bytes)) return fail("cannot write");
    if (::fsync(fd) != 0) return fail("cannot write");
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(tempPath.c_str());
        return {false, Reason(path, "cannot write", err)};
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(tempPath.c_str());
        return {false, Reason(path, "cannot replace the file", err)};
    }
    return {};
}

}  // namespace tarnwick::platform
