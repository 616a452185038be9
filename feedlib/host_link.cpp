#include "feedlib/host_link.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>

#include "feedlib/orbfeed.h"
#include "feedlib/protocol.h"

namespace orbfeed {

static_assert(kLinkOk == ORBFEED_OK && kLinkBadHandle == ORBFEED_E_BAD_HANDLE &&
              kLinkEndpointBusy == ORBFEED_E_ENDPOINT_BUSY &&
              kLinkEndpointFailed == ORBFEED_E_ENDPOINT_FAILED);

namespace {

using proto::AckStatus;
using proto::Type;
using proto::Writer;

constexpr size_t kMaxQueuedCommandBytes = 64u << 20;  // stop reading tools while above
constexpr size_t kMaxToolOutbox = 64u << 20;          // a tool that reads nothing is dropped
constexpr auto kTick = std::chrono::milliseconds(50);
constexpr auto kGoodbyeTime = std::chrono::milliseconds(200);

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

int32_t OpenListener(const std::string& path, int& out) {
    sockaddr_un addr;
    if (!FillAddress(path, addr)) {
        std::fprintf(stderr, "orbfeed: cannot serve %s: the socket path is empty or too long\n",
                     path.c_str());
        return kLinkEndpointFailed;
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
                return kLinkEndpointFailed;
            }
            out = fd;
            return kLinkOk;
        }
        const int e = errno;
        ::close(fd);
        if (e != EADDRINUSE || attempt == 1) {
            std::fprintf(stderr, "orbfeed: cannot serve %s: %s\n", path.c_str(), std::strerror(e));
            return kLinkEndpointFailed;
        }
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0) continue;  // gone meanwhile: try again
        if (!S_ISSOCK(st.st_mode)) {
            std::fprintf(stderr, "orbfeed: cannot serve %s: the path exists and is not a socket\n",
                         path.c_str());
            return kLinkEndpointFailed;
        }
        if (SomeoneAnswers(addr)) {
            std::fprintf(stderr, "orbfeed: another pump is already serving %s\n", path.c_str());
            return kLinkEndpointBusy;
        }
        ::unlink(path.c_str());  // stale: its pump is gone
    }
    std::fprintf(stderr, "orbfeed: cannot serve %s: %s\n", path.c_str(), std::strerror(errno));
    return kLinkEndpointFailed;
}

std::string AckFrame(AckStatus status, std::string_view detail) {
    return Writer(Type::Ack).U8(static_cast<uint8_t>(status)).Text(detail).Done();
}

}  // namespace

struct HostLink::Tool {
    uint64_t id = 0;
    int fd = -1;
    proto::FrameSplitter in;
    std::string out;
    size_t outOff = 0;
    bool dead = false;

    void Push(const std::string& frame) {
        if (dead) return;
        if (out.size() - outOff + frame.size() > kMaxToolOutbox) {
            dead = true;
            return;
        }
        out += frame;
    }
    // Sends what it can without blocking; false when the connection broke.
    bool SendSome() {
        while (outOff < out.size()) {
            const ssize_t n =
                ::send(fd, out.data() + outOff, out.size() - outOff, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno == EAGAIN || errno == EWOULDBLOCK;
            }
            outOff += static_cast<size_t>(n);
        }
        out.clear();
        outOff = 0;
        return true;
    }
};

int32_t HostLink::Start(int channelFd, const std::string& socketPath) {
    if (channelFd <= 0 || ::fcntl(channelFd, F_GETFD) < 0) return kLinkBadHandle;
    if (Running()) {
        {
            std::lock_guard lock(mu_);
            channelFd_ = channelFd;
        }
        Wake();
        return endpointResult_;  // the endpoint stays as it was opened
    }
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        std::fprintf(stderr, "orbfeed: cannot start the channel: %s\n", std::strerror(errno));
        return kLinkEndpointFailed;
    }
    int32_t result = kLinkOk;
    listenFd_ = -1;
    socketPath_.clear();
    if (!socketPath.empty()) {
        result = OpenListener(socketPath, listenFd_);
        if (result == kLinkOk) socketPath_ = socketPath;
    }
    endpointResult_ = result;
    {
        std::lock_guard lock(mu_);
        channelFd_ = channelFd;
        stop_ = false;
    }
    thread_ = std::thread([this] { Run(); });
    running_.store(true, std::memory_order_release);
    return result;
}

void HostLink::Stop() {
    if (!Running()) return;
    {
        std::lock_guard lock(mu_);
        stop_ = true;
        running_.store(false, std::memory_order_release);  // no new work after this
    }
    Wake();
    thread_.join();
    std::lock_guard lock(mu_);
    ::close(wakeFd_);
    wakeFd_ = -1;
    channelFd_ = -1;
    incomingCommands_.clear();
    incomingBroadcasts_.clear();
}

void HostLink::Wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void HostLink::QueueCommand(std::string text) {
    text.push_back('\0');
    std::lock_guard lock(mu_);
    if (!Running()) return;
    incomingCommands_.push_back(Command{std::move(text), 0, 0});
    Wake();
}

void HostLink::Broadcast(std::string frame) {
    std::lock_guard lock(mu_);
    if (!Running()) return;
    incomingBroadcasts_.push_back(std::move(frame));
    Wake();
}

void HostLink::Run() {
    // Writing into a pipe whose reader is gone must fail with EPIPE, not end the process.
    sigset_t pipeSet;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, nullptr);

    std::vector<std::unique_ptr<Tool>> tools;
    std::deque<Command> queue;
    size_t queuedBytes = 0;
    int channel = -1;
    bool channelIsSocket = true;
    bool channelBroken = false;
    uint64_t nextToolId = 1;
    auto lastTick = std::chrono::steady_clock::now();

    auto toolById = [&](uint64_t id) -> Tool* {
        for (auto& t : tools)
            if (t->id == id) return t.get();
        return nullptr;
    };
    auto ack = [&](uint64_t id, AckStatus status, std::string_view detail) {
        if (Tool* t = id != 0 ? toolById(id) : nullptr) t->Push(AckFrame(status, detail));
    };
    auto failQueue = [&] {
        for (const Command& c : queue)
            ack(c.tool, AckStatus::NoChannel, "the pump's command channel is closed");
        queue.clear();
        queuedBytes = 0;
    };
    auto enqueue = [&](Command c) {
        if (channel < 0 || channelBroken) {
            ack(c.tool, AckStatus::NoChannel, "the pump's command channel is closed");
            return;
        }
        queuedBytes += c.bytes.size();
        queue.push_back(std::move(c));
    };
    // Writes queued commands until the channel would block. Commands are written one after the
    // other, never interleaved, so each arrives whole followed by its NUL.
    auto writeChannel = [&] {
        while (!queue.empty()) {
            Command& c = queue.front();
            const char* p = c.bytes.data() + c.written;
            const size_t left = c.bytes.size() - c.written;
            ssize_t n;
            if (channelIsSocket) {
                n = ::send(channel, p, left, MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n < 0 && errno == ENOTSOCK) {
                    channelIsSocket = false;
                    const int fl = ::fcntl(channel, F_GETFL);
                    if (fl >= 0) ::fcntl(channel, F_SETFL, fl | O_NONBLOCK);
                    continue;
                }
            } else {
                n = ::write(channel, p, left);
            }
            if (n < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK) return;
                std::fprintf(stderr, "orbfeed: the command channel failed: %s\n",
                             std::strerror(errno));
                channelBroken = true;
                failQueue();
                return;
            }
            c.written += static_cast<size_t>(n);
            queuedBytes -= static_cast<size_t>(n);
            if (c.written == c.bytes.size()) {
                ack(c.tool, AckStatus::Delivered, "");
                queue.pop_front();
            }
        }
    };
    auto handleFrame = [&](Tool& t, const proto::Frame& f) -> bool {
        proto::Reader r(f.payload);
        switch (f.type) {
            case Type::Send: {
                std::string text = r.Text();
                if (!r.Ok() || !r.AtEnd()) return false;
                if (text.find('\0') != std::string::npos) {
                    t.Push(AckFrame(AckStatus::BadText,
                                    "the text contains a NUL byte, which would end the command"));
                    return true;
                }
                owner_.OnCommandQueued(text);
                text.push_back('\0');
                enqueue(Command{std::move(text), 0, t.id});
                return true;
            }
            case Type::Credentials: {
                std::string user = r.Text();
                std::string password = r.Text();
                if (!r.Ok() || !r.AtEnd()) return false;
                owner_.OnCredentials(user, password);
                enqueue(Command{std::string("*****UserIDPassword*****") + '\0', 0, t.id});
                return true;
            }
            case Type::Ping:
                if (!r.AtEnd()) return false;
                t.Push(Writer(Type::Pong).Done());
                return true;
            case Type::QueryRows: {
                std::string symbol = r.Text();
                const float interval = r.F32();
                if (!r.Ok() || !r.AtEnd()) return false;
                const auto rows = owner_.RowsOf(symbol, interval);
                t.Push(Writer(Type::Rows)
                           .Text(symbol)
                           .F32(interval)
                           .U8(rows ? 1 : 0)
                           .I64(rows.value_or(0))
                           .Done());
                return true;
            }
            default:
                return false;  // not a message a tool may send
        }
    };
    auto readTool = [&](Tool& t) {
        char buf[65536];
        const ssize_t n = ::recv(t.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n == 0) {
            t.dead = true;
            return;
        }
        if (n < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) t.dead = true;
            return;
        }
        t.in.Feed(buf, static_cast<size_t>(n));
        while (auto f = t.in.Next()) {
            if (!handleFrame(t, *f)) {
                t.dead = true;
                return;
            }
        }
        if (t.in.Broken()) t.dead = true;
    };

    std::vector<pollfd> fds;
    for (;;) {
        {
            std::lock_guard lock(mu_);
            if (stop_) break;
            if (channelFd_ != channel) {
                channel = channelFd_;
                channelIsSocket = true;
                channelBroken = false;
            }
            for (Command& c : incomingCommands_) enqueue(std::move(c));
            incomingCommands_.clear();
            for (const std::string& b : incomingBroadcasts_)
                for (auto& t : tools) t->Push(b);
            incomingBroadcasts_.clear();
        }
        if (!queue.empty() && channel >= 0 && !channelBroken) writeChannel();

        fds.clear();
        fds.push_back({wakeFd_, POLLIN, 0});
        const size_t listenAt = fds.size();
        if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
        const size_t channelAt = fds.size();
        const bool wantChannel = !queue.empty() && channel >= 0 && !channelBroken;
        if (wantChannel) fds.push_back({channel, POLLOUT, 0});
        const size_t toolsAt = fds.size();
        for (auto& t : tools) {
            short ev = 0;
            if (queuedBytes < kMaxQueuedCommandBytes) ev |= POLLIN;
            if (t->outOff < t->out.size()) ev |= POLLOUT;
            fds.push_back({t->fd, ev, 0});
        }
        const int rc = ::poll(fds.data(), fds.size(), static_cast<int>(kTick.count()));
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTick >= kTick) {
            lastTick = now;
            owner_.OnTick();
        }
        if (rc < 0) continue;
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &v, sizeof v);
        }
        if (wantChannel && (fds[channelAt].revents & (POLLOUT | POLLERR | POLLHUP))) {
            writeChannel();
        }
        for (size_t i = 0; i < tools.size(); ++i) {
            Tool& t = *tools[i];
            const short re = fds[toolsAt + i].revents;
            if (re & POLLIN) readTool(t);
            if (!t.dead && (re & (POLLERR | POLLNVAL))) t.dead = true;
            if (!t.dead && (re & POLLHUP) && !(re & POLLIN)) t.dead = true;
        }
        if (listenFd_ >= 0 && (fds[listenAt].revents & POLLIN)) {
            for (;;) {
                const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) break;
                auto t = std::make_unique<Tool>();
                t->id = nextToolId++;
                t->fd = fd;
                if (owner_.CredentialsPending()) t->Push(Writer(Type::CredentialsRequested).Done());
                tools.push_back(std::move(t));
            }
        }
        if (!queue.empty() && channel >= 0 && !channelBroken) writeChannel();
        for (auto& t : tools)
            if (!t->dead && !t->SendSome()) t->dead = true;
        for (size_t i = 0; i < tools.size();) {
            if (tools[i]->dead) {
                ::close(tools[i]->fd);
                tools.erase(tools.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
        tools_.store(static_cast<int>(tools.size()), std::memory_order_relaxed);
    }

    // Withdrawn: say goodbye to every tool, give them a moment to take it, then close.
    {
        std::lock_guard lock(mu_);
        for (const std::string& b : incomingBroadcasts_)
            for (auto& t : tools) t->Push(b);
        incomingBroadcasts_.clear();
    }
    for (Command& c : queue) ack(c.tool, AckStatus::NoChannel, "the pump withdrew its channel");
    queue.clear();
    const std::string goodbye = Writer(Type::ChannelWithdrawn).Done();
    for (auto& t : tools) t->Push(goodbye);
    const auto deadline = std::chrono::steady_clock::now() + kGoodbyeTime;
    for (;;) {
        fds.clear();
        for (auto& t : tools)
            if (!t->dead && !t->SendSome()) t->dead = true;
        for (auto& t : tools)
            if (!t->dead && t->outOff < t->out.size()) fds.push_back({t->fd, POLLOUT, 0});
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (fds.empty() || left.count() <= 0) break;
        ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    }
    for (auto& t : tools) ::close(t->fd);
    tools.clear();
    tools_.store(0, std::memory_order_relaxed);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(socketPath_.c_str());
    }
}

}  // namespace orbfeed
