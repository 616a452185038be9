// The Windows feed library's own parts: the published command window and the credentials
// command written into it, as the host does.
#include "feedlib/win/win_feed_library.h"

#include <windows.h>

#include <thread>
#include <utility>

namespace orbfeed::win {
namespace {

// Writes the credentials command into the window from a thread of its own, as the host does
// from its process: the pump takes it from its message loop once its loading is done. The
// thread ends when the text was taken, the window went away, or after 30 s.
void DeliverCredentialsCommand(uint32_t window) {
    std::thread([window] {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)), WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(kCredentialsCommand), SMTO_NORMAL, 30000,
                            &result);
    }).detach();
}

}  // namespace

// No store: the tables count rows and forget them.
WinFeedLibrary::WinFeedLibrary()
    : FeedCore(EnvironmentTracePath(), nullptr), given_(EnvironmentCredentials()) {}

int32_t WinFeedLibrary::SetDataFeedhwnd(int32_t handle) {
    Trace("SetDataFeedhwnd", [&](TraceLine& l) { l.Int(handle); });
    window_ = static_cast<uint32_t>(handle);
    if (!record_) record_ = ChannelRecord::Open(true);
    if (record_) record_->SetChannel(window_, handle != 0 ? GetCurrentProcessId() : 0);
    // The pump ends right after withdrawing its channel: everything traced so far goes out now.
    if (handle == 0) FlushTrace();
    return 0;
}

int32_t WinFeedLibrary::RequireUserIDPassword() {
    Trace("RequireUserIDPassword", [](TraceLine&) {});
    // Without credentials from the environment the host tool's credentials command brings them.
    if (given_ && window_ != 0) DeliverCredentialsCommand(window_);
    return 0;
}

int32_t WinFeedLibrary::GetUserIDPassword(char** user, char** password) {
    // The values are in the code page here. A host tool may ask for them to replace the pump's
    // strings rather than be written into them, so that both ways are tried.
    std::optional<std::pair<std::string, std::string>> given = given_;
    bool replace = false;
    if (!given && record_) {
        if (auto fromTool = record_->Credentials()) {
            given.emplace(std::move(fromTool->user), std::move(fromTool->password));
            replace = fromTool->replace;
        }
    }
    GiveCredentials(user, password, given,
                    replace ? CredentialDelivery::Replacing : CredentialDelivery::IntoTheString);
    return 0;
}

int32_t WinFeedLibrary::UpdatePercent(int32_t percent) {
    Trace("UpdatePercent", [&](TraceLine& l) { l.Int(percent); });
    return 0;
}

int32_t WinFeedLibrary::ORBSETUPDATA(const char* symbol, const char* description, float interval,
                                     int32_t columns, const char* category, double startDate) {
    SetUpTable(symbol, description, interval, columns, category, startDate);
    return 0;
}

}  // namespace orbfeed::win
