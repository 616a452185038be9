#include "feedlib/win/channel_record.h"

#include <cstring>

namespace orbfeed::win {

struct ChannelRecord::Block {
    uint32_t window;
    uint32_t processId;
    uint32_t hasCredentials;
    uint32_t replaceCredentials;
    char user[kCredentialBytes + 1];
    char password[kCredentialBytes + 1];
};

namespace {

constexpr wchar_t kMappingName[] = L"Local\\ORBFEED.Channel";
constexpr wchar_t kLockName[] = L"Local\\ORBFEED.Channel.Lock";

// Holds the named mutex for one access; an abandoned mutex (a process died holding it) is
// taken over, since the block holds only plain values.
class Locked {
  public:
    explicit Locked(HANDLE lock) : lock_(lock) { WaitForSingleObject(lock_, 5000); }
    ~Locked() { ReleaseMutex(lock_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

  private:
    HANDLE lock_;
};

void CopyCut(char* out, const std::string& value) {
    const size_t n = value.size() < kCredentialBytes ? value.size() : kCredentialBytes;
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
}

}  // namespace

std::unique_ptr<ChannelRecord> ChannelRecord::Open(bool create) {
    HANDLE mapping = create ? CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                 sizeof(Block), kMappingName)
                            : OpenFileMappingW(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, kMappingName);
    if (mapping == nullptr) return nullptr;
    void* view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(Block));
    HANDLE lock = CreateMutexW(nullptr, FALSE, kLockName);
    if (view == nullptr || lock == nullptr) {
        if (view != nullptr) UnmapViewOfFile(view);
        if (lock != nullptr) CloseHandle(lock);
        CloseHandle(mapping);
        return nullptr;
    }
    return std::unique_ptr<ChannelRecord>(
        new ChannelRecord(mapping, lock, static_cast<Block*>(view)));
}

ChannelRecord::~ChannelRecord() {
    if (block_ != nullptr) UnmapViewOfFile(block_);
    if (lock_ != nullptr) CloseHandle(lock_);
    if (mapping_ != nullptr) CloseHandle(mapping_);
}

ChannelInfo ChannelRecord::Channel() const {
    Locked hold(lock_);
    return ChannelInfo{block_->window, block_->processId};
}

void ChannelRecord::SetChannel(uint32_t window, uint32_t processId) {
    Locked hold(lock_);
    block_->window = window;
    block_->processId = processId;
}

std::optional<HostCredentials> ChannelRecord::Credentials() const {
    Locked hold(lock_);
    if (block_->hasCredentials == 0) return std::nullopt;
    block_->user[kCredentialBytes] = '\0';
    block_->password[kCredentialBytes] = '\0';
    return HostCredentials{block_->user, block_->password, block_->replaceCredentials != 0};
}

void ChannelRecord::SetCredentials(const HostCredentials& credentials) {
    Locked hold(lock_);
    CopyCut(block_->user, credentials.user);
    CopyCut(block_->password, credentials.password);
    block_->hasCredentials = 1;
    block_->replaceCredentials = credentials.replace ? 1 : 0;
}

}  // namespace orbfeed::win
