// The Linux feed library: its configuration from the environment, the credentials and progress
// rules, and what it tells the host tool through the socket endpoint.
#include "feedlib/feed_library.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "feedlib/orbfeed.h"
#include "feedlib/protocol.h"
#include "feedlib/store/store_path.h"

namespace orbfeed {
namespace {

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? v : nullptr;
}

}  // namespace

std::string FeedConfig::DefaultSocketPath() {
    if (const char* s = Env("ORBFEED_SOCKET")) return s;
    if (const char* r = Env("XDG_RUNTIME_DIR")) return std::string(r) + "/orbfeed.sock";
    return "/tmp/orbfeed-" + std::to_string(::getuid()) + ".sock";
}

FeedConfig FeedConfig::FromEnvironment() {
    FeedConfig c;
    c.tracePath = EnvironmentTracePath();
    c.socketPath = DefaultSocketPath();
    // The same rule as the host tool's, so both find the same database.
    c.storePath = DefaultStorePath();
    if (auto given = EnvironmentCredentials()) {
        c.user = std::move(given->first);
        c.password = std::move(given->second);
    }
    return c;
}

// The store opens at the first table operation, when config_ is long in place.
FeedLibrary::FeedLibrary(FeedConfig config)
    : FeedCore(config.tracePath,
               [this]() -> std::unique_ptr<TableStore> {
                   auto sink = [this](const std::string& m) { StoreError(m); };
                   if (config_.openStore) return config_.openStore(config_.storePath, sink);
                   return TableStore::Open(config_.storePath, sink);
               }),
      config_(std::move(config)),
      link_(*this) {
    user_ = config_.user;
    password_ = config_.password;
}

FeedLibrary::~FeedLibrary() {
    link_.Stop();
    tables_.FlushStore();
    trace_.reset();  // writes the rest of the trace
    // Last: a tool waiting for the pump to end (orbfeed unload) returns once everything is
    // written.
    link_.CloseTools();
}

void FeedLibrary::StoreError(const std::string& message) {
    std::fprintf(stderr, "orbfeed: %s\n", message.c_str());
    link_.Broadcast(proto::Writer(proto::Type::StoreError).Text(message).Done());
}

int32_t FeedLibrary::SetDataFeedhwnd(int32_t handle) {
    Trace("SetDataFeedhwnd", [&](TraceLine& l) { l.Int(handle); });
    if (handle == 0) {
        link_.Stop();
        tables_.FlushStore();
        if (trace_) trace_->Flush();
        return ORBFEED_OK;
    }
    return link_.Start(handle, config_.socketPath);
}

int32_t FeedLibrary::RequireUserIDPassword() {
    Trace("RequireUserIDPassword", [](TraceLine&) {});
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

int32_t FeedLibrary::GetUserIDPassword(char** user, char** password) {
    std::optional<std::pair<std::string, std::string>> given;
    {
        std::lock_guard lock(mu_);
        if (user_) given.emplace(*user_, password_.value_or(std::string()));
    }
    // A value longer than the caller's string comes as a string of its own, whole: the pump
    // counts characters, not bytes, when it cuts a credential to its length.
    GiveCredentials(user, password, given, CredentialDelivery::IntoTheString);
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

StoredReport FeedLibrary::StoredOf(const std::string& symbol, float interval) {
    // The count first: the store then holds at least these rows when all went well.
    StoredReport r;
    r.sent = tables_.RowsOf(symbol, interval);
    r.holding = tables_.StoreHolds(symbol, interval);
    return r;
}

ServedReport FeedLibrary::Served() {
    ServedReport r;
    r.storePath = config_.storePath;
    // The full path when the file exists, so that a tool can tell whether it reads the same one.
    if (char* full = ::realpath(config_.storePath.c_str(), nullptr)) {
        r.storePath = full;
        std::free(full);
    }
    r.tables = served_.Tables();
    return r;
}

void FeedLibrary::OnCommandQueued(const std::string& text) {
    served_.Command(text);
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
    Trace("UpdatePercent", [&](TraceLine& l) { l.Int(percent); });
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
    Table& t = SetUpTable(symbol, description, interval, columns, category, startDate);
    served_.SetUp(t.symbol, t.category, t.interval);
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

}  // namespace orbfeed
