// The library's link thread: writes command texts into the program's channel and serves the
// host tools connected to the endpoint (see host_link.h).
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

#include "feedlib/endpoint_listener.h"
#include "feedlib/orbfeed.h"
#include "feedlib/protocol.h"
#include "feedlib/tool_session.h"

namespace orbfeed {

namespace {

constexpr size_t kMaxQueuedCommandBytes = 64u << 20;  // stop reading tools while above
constexpr auto kTick = std::chrono::milliseconds(50);
constexpr auto kGoodbyeTime = std::chrono::milliseconds(200);

}  // namespace

HostLink::HostLink(LinkOwner& owner) : owner_(owner) {}

HostLink::~HostLink() {
    Stop();
    CloseTools();
}

void HostLink::CloseTools() {
    if (Running() || !sessions_) return;
    sessions_->CloseAll();
}

int32_t HostLink::Start(int channelFd, const std::string& socketPath) {
    if (channelFd <= 0 || ::fcntl(channelFd, F_GETFD) < 0) return ORBFEED_E_BAD_HANDLE;
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
        return ORBFEED_E_ENDPOINT_FAILED;
    }
    int32_t result = ORBFEED_OK;
    listenFd_ = -1;
    socketPath_.clear();
    if (!socketPath.empty()) {
        result = OpenListener(socketPath, listenFd_);
        if (result == ORBFEED_OK) socketPath_ = socketPath;
    }
    endpointResult_ = result;
    {
        std::lock_guard lock(mu_);
        channelFd_ = channelFd;
        stop_ = false;
    }
    // Tools still connected from an earlier withdrawal are served again.
    if (!sessions_) sessions_ = std::make_unique<ToolSessions>();
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
    incomingCommands_.push_back(ChannelCommand{std::move(text), 0, 0});
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

    ToolSessions& tools = *sessions_;
    ChannelWriter channel(tools);
    auto lastTick = std::chrono::steady_clock::now();
    std::vector<pollfd> fds;
    for (;;) {
        {
            std::lock_guard lock(mu_);
            if (stop_) break;
            channel.UseDescriptor(channelFd_);
            for (ChannelCommand& c : incomingCommands_) channel.Enqueue(std::move(c));
            incomingCommands_.clear();
            for (const std::string& b : incomingBroadcasts_) tools.Broadcast(b);
            incomingBroadcasts_.clear();
        }
        channel.Write();

        fds.clear();
        fds.push_back({wakeFd_, POLLIN, 0});
        const size_t listenAt = fds.size();
        if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
        const size_t channelAt = fds.size();
        const bool wantChannel = channel.Wants();
        if (wantChannel) fds.push_back({channel.Descriptor(), POLLOUT, 0});
        const size_t toolsAt = fds.size();
        tools.AddPollEntries(fds, channel.QueuedBytes() < kMaxQueuedCommandBytes);
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
            channel.Write();
        }
        tools.HandleEvents(fds.data() + toolsAt, owner_, channel);
        if (listenFd_ >= 0 && (fds[listenAt].revents & POLLIN)) tools.Accept(listenFd_, owner_);
        channel.Write();
        tools.SendAndReap();
        tools_.store(static_cast<int>(tools.Count()), std::memory_order_relaxed);
    }

    // Withdrawn: say goodbye to every tool and give them a moment to take it; their connections
    // stay open until CloseTools (see Stop).
    {
        std::lock_guard lock(mu_);
        for (const std::string& b : incomingBroadcasts_) tools.Broadcast(b);
        incomingBroadcasts_.clear();
    }
    channel.Withdraw();
    tools.Broadcast(proto::Writer(proto::Type::ChannelWithdrawn).Done());
    tools.Flush(std::chrono::steady_clock::now() + kGoodbyeTime);
    tools_.store(0, std::memory_order_relaxed);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(socketPath_.c_str());
    }
}

}  // namespace orbfeed
