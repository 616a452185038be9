#include "feedlib/feed_library.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "feedlib/orbfeed.h"
#include "feedlib/protocol.h"
#include "feedlib/store/store_path.h"

namespace orbfeed {
namespace {

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? v : nullptr;
}

// Copies value into a credentials buffer of ORBFEED_CREDENTIAL_CHARS + 1 bytes. A value longer
// than the buffer is cut before the UTF-8 character that would not fit whole: the cut backs up
// over at most three continuation bytes (the most a character has), so bytes that are no UTF-8
// are still cut at the buffer's size.
void CopyCredential(char* buffer, const std::string& value) {
    if (buffer == nullptr) return;
    size_t n = value.size() < ORBFEED_CREDENTIAL_CHARS ? value.size() : ORBFEED_CREDENTIAL_CHARS;
    const size_t full = n;
    auto continues = [&](size_t i) {
        return (static_cast<unsigned char>(value[i]) & 0xC0) == 0x80;
    };
    if (n < value.size()) {
        while (n > 0 && full - n < 3 && continues(n)) --n;
        if (continues(n)) n = full;  // no character starts nearby: not UTF-8
    }
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
}

const char kCredentialsCommand[] = "*****UserIDPassword*****";

}  // namespace

std::string FeedConfig::DefaultSocketPath() {
    if (const char* s = Env("ORBFEED_SOCKET")) return s;
    if (const char* r = Env("XDG_RUNTIME_DIR")) return std::string(r) + "/orbfeed.sock";
    return "/tmp/orbfeed-" + std::to_string(::getuid()) + ".sock";
}

FeedConfig FeedConfig::FromEnvironment() {
    FeedConfig c;
    if (const char* t = Env("ORBFEED_TRACE")) c.tracePath = t;
    c.socketPath = DefaultSocketPath();
    // The same rule as the host tool's, so both find the same database.
    c.storePath = DefaultStorePath();
    const char* user = std::getenv("ORBFEED_USER");
    const char* password = std::getenv("ORBFEED_PASSWORD");
    if (user != nullptr && password != nullptr) {
        c.user = user;
        c.password = password;
    }
    return c;
}

FeedLibrary::FeedLibrary(FeedConfig config)
    : config_(std::move(config)),
      tables_([this]() -> std::unique_ptr<TableStore> {
          auto sink = [this](const std::string& m) { StoreError(m); };
          if (config_.openStore) return config_.openStore(config_.storePath, sink);
          return TableStore::Open(config_.storePath, sink);
      }),
      link_(*this) {
    if (!config_.tracePath.empty()) {
        trace_ = std::make_unique<TraceWriter>(config_.tracePath);
        if (!trace_->Enabled()) trace_.reset();
    }
    user_ = config_.user;
    password_ = config_.password;
}

FeedLibrary::~FeedLibrary() {
    link_.Stop();
    tables_.FlushStore();
    trace_.reset();  // writes the rest of the trace
}

void FeedLibrary::StoreError(const std::string& message) {
    std::fprintf(stderr, "orbfeed: table store: %s\n", message.c_str());
    link_.Broadcast(proto::Writer(proto::Type::StoreError).Text(message).Done());
}

int32_t FeedLibrary::SetDataFeedhwnd(int32_t handle) {
    if (trace_) trace_->Add("SetDataFeedhwnd", [&](TraceLine& l) { l.Int(handle); });
    if (handle == 0) {
        link_.Stop();
        tables_.FlushStore();
        if (trace_) trace_->Flush();
        return kLinkOk;
    }
    return link_.Start(handle, config_.socketPath);
}

int32_t FeedLibrary::RequireUserIDPassword() {
    if (trace_) trace_->Add("RequireUserIDPassword", [](TraceLine&) {});
    bool known;
    {
        std::lock_guard lock(mu_);
        known = user_.has_value();
        credentialsPending_ = !known;
    }
    if (known) {
        link_.QueueCommand(kCredentialsCommand);
    } else {
        link_.Broadcast(proto::Writer(proto::Type::CredentialsRequested).Done());
    }
    return 0;
}

int32_t FeedLibrary::GetUserIDPassword(char* user, char* password) {
    {
        std::lock_guard lock(mu_);
        if (user_) {
            CopyCredential(user, *user_);
            CopyCredential(password, password_.value_or(std::string()));
        }
    }
    if (trace_)
        trace_->Add("GetUserIDPassword", [&](TraceLine& l) { l.Text(user).Text(password); });
    return 0;
}

void FeedLibrary::OnCredentials(const std::string& user, const std::string& password) {
    std::lock_guard lock(mu_);
    user_ = user;
    password_ = password;
    credentialsPending_ = false;
}

bool FeedLibrary::CredentialsPending() {
    std::lock_guard lock(mu_);
    return credentialsPending_;
}

void FeedLibrary::OnCommandQueued(const std::string& text) {
    // Only a history request makes the pump report completion; the markers do not.
    if (text.empty() || text == "*****UnloadEXE*****" || text == kCredentialsCommand ||
        text.find("*****RemoveTicker*****") != std::string::npos)
        return;
    std::lock_guard lock(mu_);
    rule_.RequestSent();
}

void FeedLibrary::OnTick() {
    Table* t = lastSetup_.load(std::memory_order_acquire);
    if (t == nullptr) return;
    const uint64_t commits = t->commits.load(std::memory_order_relaxed);
    const auto now = Now();
    std::lock_guard lock(mu_);
    rule_.Sample(now, commits);
}

int32_t FeedLibrary::UpdatePercent(int32_t percent) {
    if (trace_) trace_->Add("UpdatePercent", [&](TraceLine& l) { l.Int(percent); });
    Table* t = lastSetup_.load(std::memory_order_acquire);
    const uint64_t commits = t != nullptr ? t->commits.load(std::memory_order_relaxed) : 0;
    bool final;
    {
        std::lock_guard lock(mu_);
        final = rule_.Percent(Now(), percent, commits);
    }
    if (link_.HasTools()) {
        link_.Broadcast(proto::Writer(proto::Type::Progress).I32(percent).U8(final ? 1 : 0).Done());
        if (final && t != nullptr) {
            link_.Broadcast(proto::Writer(proto::Type::Rows)
                                .Text(t->symbol)
                                .F32(t->interval)
                                .U8(1)
                                .I64(t->rows.load(std::memory_order_relaxed))
                                .Done());
        }
    }
    return 0;
}

int32_t FeedLibrary::ORBSETUPDATA(const char* symbol, const char* description, float interval,
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
    Table& t = tables_.Setup(symbol, description, interval, columns, category, startDate);
    {
        std::lock_guard lock(mu_);
        rule_.SetUp(Now(), t.commits.load(std::memory_order_relaxed));
    }
    lastSetup_.store(&t, std::memory_order_release);
    if (link_.HasTools()) {
        link_.Broadcast(proto::Writer(proto::Type::Table)
                            .Text(t.symbol)
                            .F32(t.interval)
                            .I32(t.columns)
                            .Text(t.description)
                            .Text(t.category)
                            .F64(t.startDate)
                            .Done());
    }
    return 0;
}

int32_t FeedLibrary::ORBSETLABEL(const char* symbol, float interval, int32_t column,
                                 const char* label) {
    if (trace_) {
        trace_->Add("ORBSETLABEL",
                    [&](TraceLine& l) { l.Text(symbol).F32(interval).Int(column).Text(label); });
    }
    tables_.SetLabel(symbol, interval, column, label);
    return 0;
}

int32_t FeedLibrary::ORBCustomAction() {
    if (trace_) trace_->Add("ORBCustomAction", [](TraceLine&) {});
    return 0;
}

}  // namespace orbfeed
