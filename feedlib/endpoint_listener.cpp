// Opening the host endpoint's listening socket.
#include "feedlib/endpoint_listener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "feedlib/orbfeed.h"

namespace orbfeed {
namespace {

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

// Whether a process accepts connections on the socket at path.
bool SomeoneAnswers(const sockaddr_un& addr) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
    const int e = errno;
    ::close(fd);
    // EAGAIN: a listener whose backlog is full is alive all the same.
    return rc == 0 || e == EAGAIN || e == EINPROGRESS;
}

}  // namespace

int32_t OpenListener(const std::string& path, int& out) {
    sockaddr_un addr;
    if (!FillAddress(path, addr)) {
        std::fprintf(stderr, "orbfeed: cannot serve %s: the socket path is empty or too long\n",
                     path.c_str());
        return ORBFEED_E_ENDPOINT_FAILED;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) break;
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) {
            // Nobody can connect before listen(), so the file is owner-only before it is usable.
            if (::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 64) != 0) {
                std::fprintf(stderr, "orbfeed: cannot serve %s: %s\n", path.c_str(),
                             std::strerror(errno));
                ::close(fd);
                ::unlink(path.c_str());
                return ORBFEED_E_ENDPOINT_FAILED;
            }
            out = fd;
            return ORBFEED_OK;
        }
        const int e = errno;
        ::close(fd);
        if (e != EADDRINUSE || attempt == 1) {
            std::fprintf(stderr, "orbfeed: cannot serve %s: %s\n", path.c_str(), std::strerror(e));
            return ORBFEED_E_ENDPOINT_FAILED;
        }
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) continue;  // gone meanwhile: try again
        if (!S_ISSOCK(st.st_mode)) {
            std::fprintf(stderr, "orbfeed: cannot serve %s: the path exists and is not a socket\n",
                         path.c_str());
            return ORBFEED_E_ENDPOINT_FAILED;
        }
        if (SomeoneAnswers(addr)) {
            std::fprintf(stderr, "orbfeed: another pump is already serving %s\n", path.c_str());
            return ORBFEED_E_ENDPOINT_BUSY;
        }
        ::unlink(path.c_str());  // stale: its pump is gone
    }
    std::fprintf(stderr, "orbfeed: cannot serve %s: %s\n", path.c_str(), std::strerror(errno));
    return ORBFEED_E_ENDPOINT_FAILED;
}

}  // namespace orbfeed
