#include "feedlib/win/win_feed_library.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace orbfeed::win {
namespace {

const char kCredentialsCommand[] = "*****UserIDPassword*****";

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? v : nullptr;
}

// Copies value into a credentials buffer of ORBFEED_CREDENTIAL_CHARS + 1 bytes.
void CopyCredential(char* buffer, const std::string& value) {
    if (buffer == nullptr) return;
    const size_t n = value.size() < 21 ? value.size() : 21;
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
}

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

WinFeedLibrary::WinFeedLibrary() : tables_(nullptr) {
    if (const char* t = Env("ORBFEED_TRACE")) {
        trace_ = std::make_unique<TraceWriter>(t);
        if (!trace_->Enabled()) trace_.reset();
    }
    const char* user = std::getenv("ORBFEED_USER");
    const char* password = std::getenv("ORBFEED_PASSWORD");
    if (user != nullptr && password != nullptr) {
        user_ = user;
        password_ = password;
    }
}

int32_t WinFeedLibrary::SetDataFeedhwnd(int32_t handle) {
    if (trace_) trace_->Add("SetDataFeedhwnd", [&](TraceLine& l) { l.Int(handle); });
    window_ = static_cast<uint32_t>(handle);
    if (!record_) record_ = ChannelRecord::Open(true);
    if (record_) record_->SetChannel(window_, handle != 0 ? GetCurrentProcessId() : 0);
    // The pump ends right after withdrawing its channel: everything traced so far goes out now.
    if (handle == 0 && trace_) trace_->Flush();
    return 0;
}

int32_t WinFeedLibrary::RequireUserIDPassword() {
    if (trace_) trace_->Add("RequireUserIDPassword", [](TraceLine&) {});
    // Without credentials from the environment the host tool's credentials command brings them.
    if (user_ && window_ != 0) DeliverCredentialsCommand(window_);
    return 0;
}

int32_t WinFeedLibrary::GetUserIDPassword(char* user, char* password) {
    std::optional<std::pair<std::string, std::string>> given;
    if (user_) {
        given.emplace(*user_, password_.value_or(std::string()));
    } else if (record_) {
        given = record_->Credentials();
    }
    if (given) {
        CopyCredential(user, given->first);
        CopyCredential(password, given->second);
    }
    if (trace_)
        trace_->Add("GetUserIDPassword", [&](TraceLine& l) { l.Text(user).Text(password); });
    return 0;
}

int32_t WinFeedLibrary::UpdatePercent(int32_t percent) {
    if (trace_) trace_->Add("UpdatePercent", [&](TraceLine& l) { l.Int(percent); });
    return 0;
}

int32_t WinFeedLibrary::ORBSETUPDATA(const char* symbol, const char* description, float interval,
                                     int32_t columns, const char* category, double startDate) {
    if (trace_) {
        trace_->Add("ORBSETUPDATA", [&](TraceLine& l) {
            l.Text(symbol)
                .Text(description)
                .F32(interval)
                .Int(columns)
                .Text(category)
                .F64(startDate);
        });
    }
    tables_.Setup(symbol, description, interval, columns, category, startDate);
    return 0;
}

int32_t WinFeedLibrary::ORBSETLABEL(const char* symbol, float interval, int32_t column,
                                    const char* label) {
    if (trace_) {
        trace_->Add("ORBSETLABEL",
                    [&](TraceLine& l) { l.Text(symbol).F32(interval).Int(column).Text(label); });
    }
    tables_.SetLabel(symbol, interval, column, label);
    return 0;
}

int32_t WinFeedLibrary::ORBCustomAction() {
    if (trace_) trace_->Add("ORBCustomAction", [](TraceLine&) {});
    return 0;
}

}  // namespace orbfeed::win
