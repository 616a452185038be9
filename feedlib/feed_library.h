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

#include "feedlib/feed_core.h"
#include "feedlib/host_link.h"
#include "feedlib/progress_rule.h"
#include "feedlib/served_tables.h"

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

// The Linux library: the shared trace and tables, plus the table store and the host tool's
// socket endpoint.
class FeedLibrary final : public FeedCore, private LinkOwner {
  public:
    explicit FeedLibrary(FeedConfig config);
    ~FeedLibrary() override;
    FeedLibrary(const FeedLibrary&) = delete;
    FeedLibrary& operator=(const FeedLibrary&) = delete;

    int32_t SetDataFeedhwnd(int32_t handle);
    int32_t RequireUserIDPassword();
    int32_t GetUserIDPassword(char** user, char** password);
    int32_t UpdatePercent(int32_t percent);
    int32_t ORBSETUPDATA(const char* symbol, const char* description, float interval,
                         int32_t columns, const char* category, double startDate);

    // Row count of a table (nullopt when unknown), from any thread.
    std::optional<int64_t> RowsOf(const std::string& symbol, float interval) override {
        return tables_.RowsOf(symbol, interval);
    }
    // Takes a sample for the final-progress rule now (the link's thread does so every 50 ms).
    void OnTick() override;
    StoredReport StoredOf(const std::string& symbol, float interval) override;
    ServedReport Served() override;

  private:
    void OnCredentials(const std::string& user, const std::string& password) override;
    bool CredentialsPending() override;
    void OnCommandQueued(const std::string& text) override;
    std::chrono::steady_clock::time_point Now() const {
        return config_.now ? config_.now() : std::chrono::steady_clock::now();
    }
    void StoreError(const std::string& message);

    FeedConfig config_;
    HostLink link_;

    std::mutex mu_;  // guards the credentials and the progress rule
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    bool credentialsPending_ = false;
    FinalProgressRule rule_;
    ServedTables served_;
    std::atomic<Table*> lastSetup_{nullptr};
};

}  // namespace orbfeed
