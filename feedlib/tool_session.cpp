// One host tool's session on the link thread (its frames read and answered, its replies sent
// without blocking) and the set of connected tools.
#include "feedlib/tool_session.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "feedlib/host_link.h"
#include "feedlib/tool_request.h"

namespace orbfeed {

namespace {

using proto::AckStatus;
using proto::Type;
using proto::Writer;

constexpr size_t kMaxToolOutbox = 64u << 20;  // a tool that reads nothing is dropped

std::string AckFrame(AckStatus status, std::string_view detail) {
    return Writer(Type::Ack).U8(static_cast<uint8_t>(status)).Text(detail).Done();
}

}  // namespace

ToolSession::~ToolSession() {
    ::close(fd_);
}

void ToolSession::Push(const std::string& frame) {
    if (dead_) return;
    if (out_.size() - outOff_ + frame.size() > kMaxToolOutbox) {
        dead_ = true;
        return;
    }
    out_ += frame;
}

bool ToolSession::SendSome() {
    while (outOff_ < out_.size()) {
        const ssize_t n =
            ::send(fd_, out_.data() + outOff_, out_.size() - outOff_, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        outOff_ += static_cast<size_t>(n);
    }
    out_.clear();
    outOff_ = 0;
    return true;
}

void ToolSession::ReadFrames(LinkOwner& owner, ChannelWriter& channel) {
    char buf[65536];
    const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
    if (n == 0) {
        dead_ = true;
        return;
    }
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) dead_ = true;
        return;
    }
    in_.Feed(buf, static_cast<size_t>(n));
    while (auto f = in_.Next()) {
        if (!HandleFrame(*f, owner, channel)) {
            dead_ = true;
            return;
        }
    }
    if (in_.Broken()) dead_ = true;
}

// One message, checked by ParseToolRequest; false closes the connection.
bool ToolSession::HandleFrame(const proto::Frame& frame, LinkOwner& owner, ChannelWriter& channel) {
    ToolRequest req = ParseToolRequest(frame);
    switch (req.kind) {
        case ToolRequest::Kind::Send:
            owner.OnCommandQueued(req.text);
            req.text.push_back('\0');
            channel.Enqueue(ChannelCommand{std::move(req.text), 0, id_});
            return true;
        case ToolRequest::Kind::BadText:
            Push(AckFrame(AckStatus::BadText,
                          "the text contains a NUL byte, which would end the command"));
            return true;
        case ToolRequest::Kind::Credentials:
            owner.OnCredentials(req.text, req.password);
            channel.Enqueue(ChannelCommand{std::string("*****UserIDPassword*****") + '\0', 0, id_});
            return true;
        case ToolRequest::Kind::Ping:
            Push(Writer(Type::Pong).Done());
            return true;
        case ToolRequest::Kind::QueryRows: {
            const auto rows = owner.RowsOf(req.symbol, req.interval);
            Push(Writer(Type::Rows)
                     .Text(req.symbol)
                     .F32(req.interval)
                     .U8(rows ? 1 : 0)
                     .I64(rows.value_or(0))
                     .Done());
            return true;
        }
        case ToolRequest::Kind::QueryStored: {
            const StoredReport r = owner.StoredOf(req.symbol, req.interval);
            Push(Writer(Type::Stored)
                     .Text(req.symbol)
                     .F32(req.interval)
                     .I64(r.sent.value_or(-1))
                     .U8(r.holding.kept ? 1 : 0)
                     .I64(r.holding.rows.value_or(-1))
                     .Text(r.holding.problem)
                     .Done());
            return true;
        }
        case ToolRequest::Kind::QueryServed: {
            const ServedReport r = owner.Served();
            Writer w(Type::Served);
            w.Text(r.storePath).U32(static_cast<uint32_t>(r.tables.size()));
            for (const auto& [symbol, interval] : r.tables) w.Text(symbol).F32(interval);
            Push(w.Done());
            return true;
        }
        case ToolRequest::Kind::Invalid:
            break;
    }
    return false;
}

void ToolSessions::Ack(uint64_t tool, AckStatus status, std::string_view detail) {
    if (tool == 0) return;
    for (auto& s : sessions_) {
        if (s->Id() == tool) {
            s->Push(AckFrame(status, detail));
            return;
        }
    }
}

void ToolSessions::Broadcast(const std::string& frame) {
    for (auto& s : sessions_) s->Push(frame);
}

void ToolSessions::AddPollEntries(std::vector<pollfd>& fds, bool readInput) const {
    for (const auto& s : sessions_) {
        short ev = 0;
        if (readInput) ev |= POLLIN;
        if (s->HasOutput()) ev |= POLLOUT;
        fds.push_back({s->Fd(), ev, 0});
    }
}

void ToolSessions::HandleEvents(const pollfd* fds, LinkOwner& owner, ChannelWriter& channel) {
    for (size_t i = 0; i < sessions_.size(); ++i) {
        ToolSession& s = *sessions_[i];
        const short re = fds[i].revents;
        if (re & POLLIN) s.ReadFrames(owner, channel);
        if (!s.Dead() && (re & (POLLERR | POLLNVAL))) s.MarkDead();
        if (!s.Dead() && (re & POLLHUP) && !(re & POLLIN)) s.MarkDead();
    }
}

void ToolSessions::Accept(int listenFd, LinkOwner& owner) {
    for (;;) {
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) break;
        auto s = std::make_unique<ToolSession>(nextId_++, fd);
        if (owner.CredentialsPending()) s->Push(Writer(Type::CredentialsRequested).Done());
        sessions_.push_back(std::move(s));
    }
}

void ToolSessions::SendAndReap() {
    for (auto& s : sessions_)
        if (!s->Dead() && !s->SendSome()) s->MarkDead();
    for (size_t i = 0; i < sessions_.size();) {
        if (sessions_[i]->Dead()) {
            sessions_.erase(sessions_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void ToolSessions::Flush(std::chrono::steady_clock::time_point deadline) {
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        for (auto& s : sessions_)
            if (!s->Dead() && !s->SendSome()) s->MarkDead();
        for (auto& s : sessions_)
            if (!s->Dead() && s->HasOutput()) fds.push_back({s->Fd(), POLLOUT, 0});
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (fds.empty() || left.count() <= 0) break;
        ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    }
}

}  // namespace orbfeed
