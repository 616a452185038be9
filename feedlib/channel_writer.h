#pragma once
// The link thread's writer of the program's command channel: command texts queued in order and
// written without ever blocking, each whole and followed by its NUL, never interleaved. Whoever
// queued a command (a tool, or nobody) hears whether it got through.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "feedlib/protocol.h"

namespace orbfeed {

struct ChannelCommand {
    std::string bytes;  // text + NUL
    size_t written = 0;
    uint64_t tool = 0;  // who to acknowledge (0: nobody)
};

// Where a command's outcome goes: the tool that sent it.
class CommandAcks {
  public:
    virtual void Ack(uint64_t tool, proto::AckStatus status, std::string_view detail) = 0;

  protected:
    ~CommandAcks() = default;
};

class ChannelWriter {
  public:
    explicit ChannelWriter(CommandAcks& acks) : acks_(acks) {}

    // The descriptor the program registered (-1: none). A new one starts whole, taken for a
    // socket until a send says otherwise; the commands still queued go to it.
    void UseDescriptor(int fd);
    int Descriptor() const { return fd_; }
    // Queues a command, or refuses it at once when there is no working channel.
    void Enqueue(ChannelCommand command);
    // Whether commands wait for a working channel (poll it for writing).
    bool Wants() const { return !queue_.empty() && fd_ >= 0 && !broken_; }
    size_t QueuedBytes() const { return queuedBytes_; }
    // Writes queued commands until the channel would block. A failed channel refuses all of them.
    void Write();
    // The channel was withdrawn: every command not yet written is refused.
    void Withdraw();

  private:
    void RefuseQueue(std::string_view detail);

    CommandAcks& acks_;
    std::deque<ChannelCommand> queue_;
    size_t queuedBytes_ = 0;
    int fd_ = -1;
    bool isSocket_ = true;
    bool broken_ = false;
};

}  // namespace orbfeed
