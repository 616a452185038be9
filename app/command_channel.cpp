#include "app/command_channel.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace tarnwick {

CommandChannel::CommandChannel(QObject* parent, std::size_t maxCommandBytes)
    : QObject(parent), maxCommandBytes_(maxCommandBytes) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        throw std::system_error(errno, std::generic_category(),
                                "socketpair for the command channel");
    ownFd_ = fds[0];
    hostFd_ = fds[1];
    const int flags = ::fcntl(ownFd_, F_GETFL);
    ::fcntl(ownFd_, F_SETFL, flags | O_NONBLOCK);
    notifier_ = new QSocketNotifier(ownFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CommandChannel::ReadAvailable);
}

CommandChannel::~CommandChannel() {
    delete notifier_;
    ::close(ownFd_);
    if (hostFd_ >= 0) ::close(hostFd_);
}

bool CommandChannel::Watching() const {
    return notifier_->isEnabled();
}

void CommandChannel::Stop() {
    stopped_ = true;
    notifier_->setEnabled(false);
}

void CommandChannel::UpdateWatching() {
    notifier_->setEnabled(!stopped_ && !eof_ && BufferedBytes() < MaxBufferedBytes);
}

void CommandChannel::ReadAvailable() {
    if (stopped_) return;
    char chunk[65536];
    while (!eof_ && BufferedBytes() < MaxBufferedBytes) {
        const ssize_t n = ::read(ownFd_, chunk, sizeof chunk);
        if (n > 0) {
            Append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            // End of file: every descriptor of the host end is closed, so its number may already
            // belong to something else and must not be closed again here.
            eof_ = true;
            hostFd_ = -1;
            break;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) eof_ = true;  // a broken socket: stop
        break;
    }
    UpdateWatching();
    if (eof_) emit closedByPeer();
    DeliverPending();
}

void CommandChannel::Append(const char* data, std::size_t size) {
    while (size > 0) {
        const auto* nul = static_cast<const char*>(std::memchr(data, '\0', size));
        const std::size_t body = nul != nullptr ? static_cast<std::size_t>(nul - data) : size;
        const std::size_t taken = nul != nullptr ? body + 1 : size;
        if (discarding_) {
            discarding_ = nul == nullptr;  // the over-long command ends at this NUL
        } else if (buffer_.size() - tailFrom_ + body > maxCommandBytes_) {
            buffer_.resize(tailFrom_);
            scanFrom_ = std::min(scanFrom_, tailFrom_);
            discarding_ = nul == nullptr;
            emit commandDiscarded(maxCommandBytes_);
        } else {
            buffer_.append(data, taken);
            if (nul != nullptr) tailFrom_ = buffer_.size();
        }
        data += taken;
        size -= taken;
    }
}

void CommandChannel::DeliverPending() {
    // A delivered command may process events (the pause after a history request); a nested
    // ReadAvailable then delivers the later commands from this same buffer, so each command is
    // taken out before it is delivered and the loop re-reads the buffer every time.
    while (!stopped_ && (!mayDeliver_ || mayDeliver_())) {
        const std::size_t nul = buffer_.find('\0', std::max(head_, scanFrom_));
        if (nul == std::string::npos) {
            scanFrom_ = buffer_.size();
            break;
        }
        std::string command = buffer_.substr(head_, nul - head_);
        head_ = nul + 1;
        if (head_ >= buffer_.size() / 2) {
            // Drop the delivered commands' bytes once they are half the buffer, so that many
            // small commands in one read cost linear time.
            buffer_.erase(0, head_);
            scanFrom_ = scanFrom_ > head_ ? scanFrom_ - head_ : 0;
            tailFrom_ -= head_;  // head_ never passes the last NUL
            head_ = 0;
        }
        UpdateWatching();
        if (deliver_) deliver_(std::move(command));
    }
}

}  // namespace tarnwick
