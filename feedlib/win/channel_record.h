#pragma once
// Where the Windows stand-in library publishes the registered command window, so that the host
// tool (orbfeed.exe) in another process can find it: a small named shared-memory block,
// "Local\ORBFEED.Channel", that lives as long as a process keeps it open. The library creates it
// at SetDataFeedhwnd and keeps it for the rest of the process; the tool opens it, writes the
// host's credentials into it (the credentials command, with how they are to be handed over) and
// reads the window handle. A pump that
// has ended takes the block with it, so a stale handle is never found.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orbfeed::win {

// Credentials longer than this are cut; the program reads at most 21 characters of each anyway.
inline constexpr size_t kCredentialBytes = 64;

// The host's credentials as a host tool leaves them for the library.
struct HostCredentials {
    std::string user;
    std::string password;
    // The library hands them over as strings of its own in place of the pump's, rather than
    // writing them into the pump's strings.
    bool replace = false;
};

struct ChannelInfo {
    uint32_t window = 0;     // the registered handle, 0 when withdrawn
    uint32_t processId = 0;  // the process that registered it
};

class ChannelRecord {
  public:
    // Opens the block, creating it when create is true. Empty when that fails.
    static std::unique_ptr<ChannelRecord> Open(bool create);
    ~ChannelRecord();
    ChannelRecord(const ChannelRecord&) = delete;
    ChannelRecord& operator=(const ChannelRecord&) = delete;

    ChannelInfo Channel() const;
    void SetChannel(uint32_t window, uint32_t processId);
    // Credentials left by a host tool; empty when none were given.
    std::optional<HostCredentials> Credentials() const;
    void SetCredentials(const HostCredentials& credentials);

  private:
    struct Block;
    ChannelRecord(HANDLE mapping, HANDLE lock, Block* block)
        : mapping_(mapping), lock_(lock), block_(block) {}
    HANDLE mapping_ = nullptr;
    HANDLE lock_ = nullptr;  // a named mutex that serialises readers and writers
    Block* block_ = nullptr;
};

}  // namespace orbfeed::win
