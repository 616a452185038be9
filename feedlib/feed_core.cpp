// The parts both stand-in feed libraries share: trace, tables and the credentials handed over.
#include "feedlib/feed_core.h"

#ifdef _WIN32
#include <windows.h>
// (after windows.h)
#include <oleauto.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "feedlib/orbfeed.h"

namespace orbfeed {
namespace {

// The host's kind of string (feedlib/orbfeed.h): a BSTR of 8-bit text on Windows, the
// length-prefixed string of the C library's heap elsewhere.
char* NewString(const std::string& bytes) {
    if (bytes.size() >= UINT32_MAX) return nullptr;
    const auto length = static_cast<uint32_t>(bytes.size());
#ifdef _WIN32
    return reinterpret_cast<char*>(SysAllocStringByteLen(bytes.data(), length));
#else
    return OrbfeedStringAlloc(bytes.data(), length);
#endif
}

size_t StringBytes(const char* text) {
#ifdef _WIN32
    return text != nullptr ? SysStringByteLen(reinterpret_cast<BSTR>(const_cast<char*>(text))) : 0;
#else
    return OrbfeedStringByteLen(text);
#endif
}

void FreeString(char* text) {
#ifdef _WIN32
    SysFreeString(reinterpret_cast<BSTR>(text));
#else
    OrbfeedStringFree(text);
#endif
}

// Puts value into the string variable: into the string's own bytes when it fits and may (the
// rest of them zero), otherwise as a new string in place of the old one. Without memory the
// variable keeps what it holds.
void Deliver(char** variable, const std::string& value, CredentialDelivery delivery) {
    if (variable == nullptr) return;
    const size_t room = StringBytes(*variable);
    if (delivery == CredentialDelivery::IntoTheString && *variable != nullptr &&
        value.size() <= room) {
        std::memcpy(*variable, value.data(), value.size());
        std::memset(*variable + value.size(), 0, room - value.size());
        return;
    }
    char* fresh = NewString(value);
    if (fresh == nullptr) return;
    FreeString(*variable);
    *variable = fresh;
}

// The text a string variable holds: its bytes up to the first zero byte.
std::string HeldText(char* const* variable) {
    if (variable == nullptr || *variable == nullptr) return {};
    const char* text = *variable;
    const size_t bytes = StringBytes(text);
    const auto* nul = static_cast<const char*>(std::memchr(text, '\0', bytes));
    return std::string(text, nul != nullptr ? static_cast<size_t>(nul - text) : bytes);
}

}  // namespace

std::optional<std::pair<std::string, std::string>> EnvironmentCredentials() {
    const char* user = std::getenv("ORBFEED_USER");
    const char* password = std::getenv("ORBFEED_PASSWORD");
    if (user == nullptr || password == nullptr) return std::nullopt;
    return std::make_pair(std::string(user), std::string(password));
}

std::string EnvironmentTracePath() {
    const char* t = std::getenv("ORBFEED_TRACE");
    return t != nullptr ? t : "";
}

std::string EnvironmentTraceTimesPath() {
    const char* t = std::getenv("ORBFEED_TRACE_TIMES");
    return t != nullptr ? t : "";
}

FeedCore::FeedCore(const std::string& tracePath,
                   std::function<std::unique_ptr<TableStore>()> openStore)
    : tables_(std::move(openStore)) {
    if (!tracePath.empty()) {
        trace_ = std::make_unique<TraceWriter>(tracePath, EnvironmentTraceTimesPath());
        if (!trace_->Enabled()) trace_.reset();
    }
}

Table& FeedCore::SetUpTable(const char* symbol, const char* description, float interval,
                            int32_t columns, const char* category, double startDate) {
    Trace("ORBSETUPDATA", [&](TraceLine& l) {
        l.Text(symbol).Text(description).F32(interval).Int(columns).Text(category).F64(startDate);
    });
    return tables_.Setup(symbol, description, interval, columns, category, startDate);
}

void FeedCore::GiveCredentials(char** user, char** password,
                               const std::optional<std::pair<std::string, std::string>>& given,
                               CredentialDelivery delivery) {
    if (given) {
        Deliver(user, given->first, delivery);
        Deliver(password, given->second, delivery);
    }
    Trace("GetUserIDPassword",
          [&](TraceLine& l) { l.Text(HeldText(user).c_str()).Masked(HeldText(password).size()); });
}

int32_t FeedCore::ORBSETLABEL(const char* symbol, float interval, int32_t column,
                              const char* label) {
    Trace("ORBSETLABEL",
          [&](TraceLine& l) { l.Text(symbol).F32(interval).Int(column).Text(label); });
    tables_.SetLabel(symbol, interval, column, label);
    return 0;
}

int32_t FeedCore::ORBCustomAction() {
    Trace("ORBCustomAction", [](TraceLine&) {});
    return 0;
}

}  // namespace orbfeed
