#include "tickers/list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace tarnwick {

std::string ProgramFolderOf(const std::string& programFilePath) {
    std::string folder;
    auto slash = programFilePath.rfind('/');
    if (slash != std::string::npos) folder = programFilePath.substr(0, slash + 1);
    // A folder given with its separator (the root "/" above all) loses it, so that exactly one
    // separator stands between the folder and a file name.
    if (!folder.empty() && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string ListFilePath(const std::string& programFolder) {
    return programFolder + "/" + ListFileName;
}

std::string ListFileBytes(const TickerList& list) {
    std::string bytes;
    for (int row = 1; row <= list.EntryCount(); ++row) {
        const TickerEntry& e = list.EntryAt(row);
        // Texts go out exactly as they stand (UTF-8, the system's 8-bit encoding here).
        bytes += e.Symbol;
        bytes += "!@#";
        bytes += e.Description;
        bytes += "!@#";
        bytes += e.Category;
        bytes += "!@#";
        bytes += e.StartDate;
        bytes += "!@#";
        bytes += e.BarInterval;
        bytes += "\r\n";
    }
    return bytes;
}

namespace {

std::string Reason(const std::string& path, const char* what, int err) {
    return path + ": " + what + ": " + std::strerror(err);
}

bool WriteAll(int fd, const std::string& bytes) {
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

ListFileResult WriteListFile(const std::string& path, const TickerList& list) {
    const std::string bytes = ListFileBytes(list);
    std::string folder = ProgramFolderOf(path);
    std::string pattern = (folder.empty() ? std::string() : folder) + "/.Tarnwick List.DAT.XXXXXX";
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
        return ListFileResult{false, Reason(path, what, err)};
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
        return {false, Reason(path, "cannot replace the list file", err)};
    }
    return {};
}

}  // namespace tarnwick
