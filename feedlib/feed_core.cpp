// The parts both stand-in feed libraries share: trace, tables and the credentials copy.
#include "feedlib/feed_core.h"

#include <cstdlib>
#include <cstring>

#include "feedlib/orbfeed.h"

namespace orbfeed {
namespace {

// Copies value into a credentials buffer of ORBFEED_CREDENTIAL_CHARS + 1 bytes. A UTF-8 value
// longer than the buffer is cut before the character that would not fit whole: the cut backs up
// over at most three continuation bytes (the most a character has), so bytes that are no UTF-8
// are still cut at the buffer's size. A code-page value is cut at the buffer's size.
void CopyCredential(char* buffer, const std::string& value, CredentialText text) {
    if (buffer == nullptr) return;
    size_t n = value.size() < ORBFEED_CREDENTIAL_CHARS ? value.size() : ORBFEED_CREDENTIAL_CHARS;
    const size_t full = n;
    auto continues = [&](size_t i) {
        return (static_cast<unsigned char>(value[i]) & 0xC0) == 0x80;
    };
    if (text == CredentialText::Utf8 && n < value.size()) {
        while (n > 0 && full - n < 3 && continues(n)) --n;
        if (continues(n)) n = full;  // no character starts nearby: not UTF-8
    }
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
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

void FeedCore::GiveCredentials(char* user, char* password,
                               const std::optional<std::pair<std::string, std::string>>& given,
                               CredentialText text) {
    if (given) {
        CopyCredential(user, given->first, text);
        CopyCredential(password, given->second, text);
    }
    Trace("GetUserIDPassword", [&](TraceLine& l) { l.Text(user).Text(password); });
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
