#pragma once
// The host tools connected to the library's endpoint, served on the link thread: each tool's
// session reads its frames and answers them (a command or credentials go to the channel, the
// rest is answered at once), and sends what it is owed without ever blocking. A tool that
// breaks the protocol, or reads nothing while its backlog grows too large, is dropped.
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "feedlib/channel_writer.h"
#include "feedlib/protocol.h"

namespace orbfeed {

class LinkOwner;

class ToolSession {
  public:
    ToolSession(uint64_t id, int fd) : id_(id), fd_(fd) {}
    ~ToolSession();
    ToolSession(const ToolSession&) = delete;
    ToolSession& operator=(const ToolSession&) = delete;

    uint64_t Id() const { return id_; }
    int Fd() const { return fd_; }
    bool Dead() const { return dead_; }
    void MarkDead() { dead_ = true; }
    bool HasOutput() const { return outOff_ < out_.size(); }

    // Queues a frame for the tool; drops the tool when its backlog would grow too large.
    void Push(const std::string& frame);
    // Sends what it can without blocking; false when the connection broke.
    bool SendSome();
    // Reads what arrived and handles every whole frame; the tool is dropped when it hung up or
    // sent something that is no request of a tool.
    void ReadFrames(LinkOwner& owner, ChannelWriter& channel);

  private:
    bool HandleFrame(const proto::Frame& frame, LinkOwner& owner, ChannelWriter& channel);

    uint64_t id_;
    int fd_;
    proto::FrameSplitter in_;
    std::string out_;
    size_t outOff_ = 0;
    bool dead_ = false;
};

// Every connected tool; acknowledges channel commands to the tool that sent them.
class ToolSessions : public CommandAcks {
  public:
    void Ack(uint64_t tool, proto::AckStatus status, std::string_view detail) override;
    void Broadcast(const std::string& frame);
    size_t Count() const { return sessions_.size(); }

    // Adds one poll entry per tool (input only when readInput), in the order HandleEvents reads.
    void AddPollEntries(std::vector<pollfd>& fds, bool readInput) const;
    // Acts on the events of the entries AddPollEntries added, fds pointing at the first.
    void HandleEvents(const pollfd* fds, LinkOwner& owner, ChannelWriter& channel);
    // Takes every connection waiting at the endpoint; a new tool hears about a pending
    // credentials request at once.
    void Accept(int listenFd, LinkOwner& owner);
    // Sends what each tool is owed, then closes the dead ones.
    void SendAndReap();
    // Gives the tools until deadline to take what they are still owed; the connections stay open.
    void Flush(std::chrono::steady_clock::time_point deadline);
    // Closes every connection.
    void CloseAll() { sessions_.clear(); }

  private:
    std::vector<std::unique_ptr<ToolSession>> sessions_;
    uint64_t nextId_ = 1;
};

}  // namespace orbfeed
