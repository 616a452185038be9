#pragma once
// What the host tool's commands ask of a running pump through its library's endpoint: sending a
// text and awaiting its acknowledgement, which tables it serves live, and what its store holds.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/host_client.h"
#include "cli/number_text.h"
#include "feedlib/protocol.h"

namespace orbfeed::cli {

// Exit statuses of the host commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // no pump, not delivered, pump went away, timeout, store
inline constexpr int kExitRefused = 2;  // the input was refused before anything was sent
inline constexpr int kExitNoData = 3;   // the pump served nothing for it (no table, no match)

// One line on standard error: "orbfeed: " and the message.
void Error(const std::string& message);

// The connection to the pump at ORBFEED_SOCKET (or its default), or nullopt after a message.
std::optional<HostClient> ConnectOrSay();
// The connection when a pump answers, else nullopt without a word.
std::optional<HostClient> ConnectQuietly();

// Sends one frame that the pump acknowledges and waits for the acknowledgement; frames that
// arrive meanwhile go to other (when given). An exit status, after a message when not kExitOk.
int SendAndAwaitAck(HostClient& client, const std::string& frame,
                    const std::function<void(const proto::Frame&)>& other = nullptr);

// Frames a caller did not wait for are handed to other (when given) while waiting for an
// answer of the given type; nullopt when the pump closed the connection or took too long.
std::optional<proto::Frame> AwaitAnswer(HostClient& client, proto::Type type,
                                        const std::function<void(const proto::Frame&)>& other,
                                        std::chrono::milliseconds limit);

struct ServedTables {
    std::string storePath;  // the database the pump's library writes (as it names it)
    std::vector<std::pair<std::string, float>> tables;
};
std::optional<ServedTables> QueryServed(
    HostClient& client, const std::function<void(const proto::Frame&)>& other = nullptr);

struct StoredTable {
    int64_t sent = -1;    // rows the library received for the table in this run; -1: no table
    bool kept = true;     // false: the pump's library keeps no store
    int64_t stored = -1;  // rows the store holds once all it was handed is written; -1: none
    std::string problem;  // why the store cannot write now; empty when it can
};
std::optional<StoredTable> QueryStored(
    HostClient& client, const std::string& symbol, float interval,
    const std::function<void(const proto::Frame&)>& other = nullptr);

// Whether the store a pump's library writes (its path as the library gave it) is the file at
// dbPath.
bool SameStore(const std::string& pumpStore, const std::string& dbPath);

// The symbol as the pump takes it from a command: leading and trailing blanks removed.
std::string TrimmedSymbol(const std::string& symbol);

}  // namespace orbfeed::cli
