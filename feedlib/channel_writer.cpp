// Writing queued command texts into the program's channel (a socket or a pipe) without blocking.
#include "feedlib/channel_writer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orbfeed {

namespace {

constexpr std::string_view kChannelClosed = "the pump's command channel is closed";

}  // namespace

void ChannelWriter::UseDescriptor(int fd) {
    if (fd == fd_) return;
    fd_ = fd;
    isSocket_ = true;
    broken_ = false;
}

void ChannelWriter::Enqueue(ChannelCommand command) {
    if (fd_ < 0 || broken_) {
        acks_.Ack(command.tool, proto::AckStatus::NoChannel, kChannelClosed);
        return;
    }
    queuedBytes_ += command.bytes.size();
    queue_.push_back(std::move(command));
}

void ChannelWriter::Write() {
    while (Wants()) {
        ChannelCommand& c = queue_.front();
        const char* p = c.bytes.data() + c.written;
        const size_t left = c.bytes.size() - c.written;
        ssize_t n;
        if (isSocket_) {
            n = ::send(fd_, p, left, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0 && errno == ENOTSOCK) {
                isSocket_ = false;
                const int fl = ::fcntl(fd_, F_GETFL);
                if (fl >= 0) ::fcntl(fd_, F_SETFL, fl | O_NONBLOCK);
                continue;
            }
        } else {
            n = ::write(fd_, p, left);
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            std::fprintf(stderr, "orbfeed: the command channel failed: %s\n", std::strerror(errno));
            broken_ = true;
            RefuseQueue(kChannelClosed);
            return;
        }
        c.written += static_cast<size_t>(n);
        queuedBytes_ -= static_cast<size_t>(n);
        if (c.written == c.bytes.size()) {
            acks_.Ack(c.tool, proto::AckStatus::Delivered, "");
            queue_.pop_front();
        }
    }
}

void ChannelWriter::Withdraw() {
    RefuseQueue("the pump withdrew its channel");
}

void ChannelWriter::RefuseQueue(std::string_view detail) {
    for (const ChannelCommand& c : queue_) acks_.Ack(c.tool, proto::AckStatus::NoChannel, detail);
    queue_.clear();
    queuedBytes_ = 0;
}

}  // namespace orbfeed
