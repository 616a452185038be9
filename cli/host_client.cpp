#include "cli/host_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orbfeed::cli {

using Clock = std::chrono::steady_clock;

std::optional<HostClient> HostClient::Connect(const std::string& path,
                                              std::chrono::milliseconds timeout,
                                              std::string& error) {
    auto fail = [&](const std::string& why) {
        error = "no pump is serving " + path + " (" + why + ")";
        return std::nullopt;
    };
    sockaddr_un addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return fail("the socket path is empty or too long");
    std::memcpy(addr.sun_path, path.data(), path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return fail(std::strerror(errno));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EAGAIN && errno != EINPROGRESS) {
            const int e = errno;
            ::close(fd);
            return fail(std::strerror(e));
        }
        // A listener with a full backlog: wait for it, but not forever.
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
            ::close(fd);
            return fail("the pump does not answer");
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
        if (soError != 0) {
            ::close(fd);
            return fail(std::strerror(soError));
        }
    }
    return HostClient(fd);
}

HostClient::HostClient(HostClient&& other) noexcept : fd_(other.fd_), in_(std::move(other.in_)) {
    other.fd_ = -1;
}

HostClient::~HostClient() {
    if (fd_ >= 0) ::close(fd_);
}

bool HostClient::Send(const std::string& frame) {
    size_t off = 0;
    while (off < frame.size()) {
        const ssize_t n = ::send(fd_, frame.data() + off, frame.size() - off, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p{fd_, POLLOUT, 0};
                if (::poll(&p, 1, -1) < 0 && errno != EINTR) return false;
                continue;
            }
            return false;
        }
        off += static_cast<size_t>(n);
    }
    return true;
}

HostClient::Status HostClient::Receive(proto::Frame& frame, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        if (auto f = in_.Next()) {
            frame = std::move(*f);
            return Status::Frame;
        }
        if (in_.Broken()) return Status::Closed;
        int wait = -1;
        if (timeout.count() >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return Status::TimedOut;
            wait = static_cast<int>(left.count());
        }
        pollfd p{fd_, POLLIN, 0};
        const int rc = ::poll(&p, 1, wait);
        if (rc < 0) {
            if (errno == EINTR) continue;
            return Status::Closed;
        }
        if (rc == 0) continue;
        char buf[65536];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n == 0) return Status::Closed;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return Status::Closed;
        }
        in_.Feed(buf, static_cast<size_t>(n));
    }
}

}  // namespace orbfeed::cli
