#pragma once
// The fake feed library's control over GetUserIDPassword (tests/host/fake_feed_library.c): how
// it hands the credentials over, and what it was given.
#include <memory>
#include <stdexcept>
#include <string>

#include "host/host_feed.h"
#include "platform/dynamic_library.h"

namespace tarnwick::testing {

class FakeCredentials {
  public:
    enum Mode : int32_t { WritesIntoTheStrings, ReplacesLonger, ReplacesShorter, LeavesThem };

    // path: the fake library the program loaded (the same module is found again).
    explicit FakeCredentials(const std::string& path) {
        std::string reason;
        library_ = platform::LoadLibraryAt(path, reason);
        if (library_ == nullptr) throw std::runtime_error(reason);
        mode_ = reinterpret_cast<ModeFn>(library_->Resolve("FakeCredentialsMode", 4));
        received_ =
            reinterpret_cast<ReceivedFn>(library_->Resolve("FakeReceivedCredentialBytes", 0));
        if (mode_ == nullptr || received_ == nullptr) throw std::runtime_error("no fake controls");
    }
    void Use(Mode mode) const { mode_(mode); }
    // The byte length of the last user-id string the library was given; -1 when it held a byte
    // other than zero.
    int32_t ReceivedBytes() const { return received_(); }

  private:
    using ModeFn = void(ORBFEED_CALL*)(int32_t);
    using ReceivedFn = int32_t(ORBFEED_CALL*)(void);
    std::unique_ptr<platform::DynamicLibrary> library_;
    ModeFn mode_ = nullptr;
    ReceivedFn received_ = nullptr;
};

}  // namespace tarnwick::testing
