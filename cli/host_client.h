#pragma once
// A host tool's connection to the feed library's endpoint of a running pump.
#include <chrono>
#include <optional>
#include <string>

#include "feedlib/protocol.h"

namespace orbfeed::cli {

class HostClient {
  public:
    // Connects to the endpoint at path, giving up after timeout. nullopt with error set (a
    // sentence naming the path) when no pump answers.
    static std::optional<HostClient> Connect(const std::string& path,
                                             std::chrono::milliseconds timeout, std::string& error);
    HostClient(HostClient&& other) noexcept;
    HostClient& operator=(HostClient&&) = delete;
    HostClient(const HostClient&) = delete;
    ~HostClient();

    // Writes one frame; false when the connection broke.
    bool Send(const std::string& frame);

    enum class Status { Frame, Closed, TimedOut };
    // Waits for the next frame up to timeout (forever when timeout is negative).
    Status Receive(proto::Frame& frame, std::chrono::milliseconds timeout);

  private:
    explicit HostClient(int fd) : fd_(fd) {}
    int fd_ = -1;
    proto::FrameSplitter in_;
};

}  // namespace orbfeed::cli
