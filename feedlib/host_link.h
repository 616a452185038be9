#pragma once
// The library's side of the command channel and the host endpoint, run by one thread of the
// library: it writes command texts (each followed by one NUL byte) into the descriptor the
// program registered, without ever blocking on it, and serves host tools on a Unix-domain socket
// (frames of protocol.h). Nothing here blocks the program's calls: they only queue work.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "feedlib/channel_writer.h"
#include "feedlib/orbfeed.h"
#include "feedlib/store/table_store.h"

namespace orbfeed {

// What the library's store holds of a table: the rows the library received for it in this run
// (none: no such table), and what the database holds once everything was written.
struct StoredReport {
    std::optional<int64_t> sent;
    TableStore::Holding holding;
};

// The tables the pump serves live and the database the library keeps them in.
struct ServedReport {
    std::string storePath;
    std::vector<std::pair<std::string, float>> tables;
};

// What the link asks of the library; called on the link's thread.
class LinkOwner {
  public:
    virtual ~LinkOwner() = default;
    // A tool supplied credentials (the link writes the credentials command afterwards).
    virtual void OnCredentials(const std::string& user, const std::string& password) = 0;
    // Whether the pump asked for credentials that nobody has supplied yet.
    virtual bool CredentialsPending() = 0;
    // Row count of a table, nullopt when unknown.
    virtual std::optional<int64_t> RowsOf(const std::string& symbol, float interval) = 0;
    // What the store holds of a table; waits until the store has written what it was handed.
    virtual StoredReport StoredOf(const std::string& symbol, float interval) = 0;
    virtual ServedReport Served() = 0;
    // A tool's text is about to be written into the channel.
    virtual void OnCommandQueued(const std::string& text) = 0;
    // Every 50 ms or so while the link runs.
    virtual void OnTick() = 0;
};

class ToolSessions;

class HostLink {
  public:
    explicit HostLink(LinkOwner& owner);
    ~HostLink();  // stops the link and closes every tool's connection
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;

    // Starts the thread with the channel descriptor and opens the endpoint at socketPath (no
    // endpoint when empty). Returns ORBFEED_OK, or an error; the channel works even when the
    // endpoint failed. Called again while running, it only switches to the new descriptor.
    int32_t Start(int channelFd, const std::string& socketPath);
    // Sends CHANNEL withdrawn to the tools, closes the endpoint, removes its socket file and
    // joins the thread. Commands not yet written are dropped. The tools' connections stay open
    // until CloseTools, so that a tool waiting for the pump to end sees the end itself: the
    // library closes them last when it is taken down, and the process's end closes them anyway.
    void Stop();
    // Closes the connections Stop left open.
    void CloseTools();
    bool Running() const { return running_.load(std::memory_order_acquire); }

    // From any thread: a command text for the channel.
    void QueueCommand(std::string text);
    // From any thread: a frame for every connected tool.
    void Broadcast(std::string frame);
    // Whether any tool is connected (a hint to skip building frames nobody reads).
    bool HasTools() const { return tools_.load(std::memory_order_relaxed) > 0; }

  private:
    void Run();
    void Wake();

    LinkOwner& owner_;
    std::unique_ptr<ToolSessions> sessions_;  // the tools; the link thread's while it runs
    std::thread thread_;
    int wakeFd_ = -1;
    int listenFd_ = -1;
    std::string socketPath_;
    int32_t endpointResult_ = ORBFEED_OK;
    std::atomic<int> tools_{0};
    std::atomic<bool> running_{false};  // read by other threads (the store's error sink)

    std::mutex mu_;  // guards the fields below
    int channelFd_ = -1;
    bool stop_ = false;
    std::vector<ChannelCommand> incomingCommands_;
    std::vector<std::string> incomingBroadcasts_;
};

}  // namespace orbfeed
