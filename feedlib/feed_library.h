#pragma once
// The stand-in host feed library: what each exported operation does. The exported C functions
// forward to one process-wide instance; tests make their own instances.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "feedlib/host_link.h"
#include "feedlib/progress_rule.h"
#include "feedlib/tables.h"
#include "feedlib/trace.h"

namespace orbfeed {

struct FeedConfig {
    std::string tracePath;   // empty: no trace
    std::string socketPath;  // empty: no host endpoint
    std::string storePath;   // ":none:" keeps nothing
    // Credentials known from the start (the host's environment).
    std::optional<std::string> user;
    std::optional<std::string> password;
    // The clock of the final-progress rule; steady_clock when empty.
    std::function<std::chrono::steady_clock::time_point()> now;
    // Replaces TableStore::Open (tests); called once with storePath.
    std::function<std::unique_ptr<TableStore>(const std::string&, TableStore::ErrorSink)> openStore;

    // ORBFEED_TRACE, ORBFEED_SOCKET, ORBFEED_DB, ORBFEED_USER and ORBFEED_PASSWORD with their
    // defaults.
    static FeedConfig FromEnvironment();
    static std::string DefaultSocketPath();  // the ORBFEED_SOCKET rule alone
};

class FeedLibrary final : private LinkOwner {
  public:
    explicit FeedLibrary(FeedConfig config);
    ~FeedLibrary() override;
    FeedLibrary(const FeedLibrary&) = delete;
    FeedLibrary& operator=(const FeedLibrary&) = delete;

    int32_t SetDataFeedhwnd(int32_t handle);
    int32_t RequireUserIDPassword();
    int32_t GetUserIDPassword(char* user, char* password);
    int32_t UpdatePercent(int32_t percent);
    int32_t ORBSETUPDATA(const char* symbol, const char* description, float interval,
                         int32_t columns, const char* category, double startDate);
    int32_t ORBSETLABEL(const char* symbol, float interval, int32_t column, const char* label);
    int32_t ORBSETVALUE(const char* symbol, float interval, int32_t column, double value) {
        if (trace_) {
            trace_->Add("ORBSETVALUE",
                        [&](TraceLine& l) { l.Text(symbol).F32(interval).Int(column).F64(value); });
        }
        tables_.SetValue(symbol, interval, column, value);
        return 0;
    }
    int32_t ORBCOMMITROW(const char* symbol, float interval) {
        if (trace_)
            trace_->Add("ORBCOMMITROW", [&](TraceLine& l) { l.Text(symbol).F32(interval); });
        tables_.Commit(symbol, interval);
        return 0;
    }
    int32_t ORBGETNUMROWS2(const char* symbol, float interval, float interval2, int32_t zero1,
                           int32_t zero2) {
        if (trace_) {
            trace_->Add("ORBGETNUMROWS2", [&](TraceLine& l) {
                l.Text(symbol).F32(interval).F32(interval2).Int(zero1).Int(zero2);
            });
        }
        return static_cast<int32_t>(tables_.NumRows(symbol, interval));
    }
    int32_t ORBCustomAction();

    // Row count of a table (nullopt when unknown), from any thread.
    std::optional<int64_t> RowsOf(const std::string& symbol, float interval) override {
        return tables_.RowsOf(symbol, interval);
    }
    // Takes a sample for the final-progress rule now (the link's thread does so every 50 ms).
    void OnTick() override;
    // Writes the trace out now.
    void FlushTrace() {
        if (trace_) trace_->Flush();
    }

  private:
    void OnCredentials(const std::string& user, const std::string& password) override;
    bool CredentialsPending() override;
    void OnCommandQueued(const std::string& text) override;
    std::chrono::steady_clock::time_point Now() const {
        return config_.now ? config_.now() : std::chrono::steady_clock::now();
    }
    void StoreError(const std::string& message);

    FeedConfig config_;
    std::unique_ptr<TraceWriter> trace_;
    TableBook tables_;
    HostLink link_;

    std::mutex mu_;  // guards the credentials and the progress rule
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    bool credentialsPending_ = false;
    FinalProgressRule rule_;
    std::atomic<Table*> lastSetup_{nullptr};
};

}  // namespace orbfeed
