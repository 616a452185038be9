#pragma once
// What both stand-in feed libraries (libORBFEED.so and ORBFEED.DLL) do alike: the trace line of
// every call, the tables, and the credentials handed over in the caller's string variables. Each
// platform's library derives from it and adds its own way to the host tool beside it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "feedlib/tables.h"
#include "feedlib/trace.h"

namespace orbfeed {

// The text the host writes into the program's command window to hand over the credentials.
inline constexpr char kCredentialsCommand[] = "*****UserIDPassword*****";

// How a credential reaches the caller's string variable: written into the string's bytes when
// it fits (the string is replaced by one holding the whole value when it does not), or always
// as a string of its own in place of the caller's.
enum class CredentialDelivery { IntoTheString, Replacing };

// User id and password from ORBFEED_USER and ORBFEED_PASSWORD, when both are set (empty counts).
std::optional<std::pair<std::string, std::string>> EnvironmentCredentials();
// ORBFEED_TRACE; empty when unset or empty.
std::string EnvironmentTracePath();
// ORBFEED_TRACE_TIMES: the file for the steady-clock time of every trace line; empty when unset.
std::string EnvironmentTraceTimesPath();

class FeedCore {
  public:
    FeedCore(const FeedCore&) = delete;
    FeedCore& operator=(const FeedCore&) = delete;

    int32_t ORBSETLABEL(const char* symbol, float interval, int32_t column, const char* label);
    int32_t ORBSETVALUE(const char* symbol, float interval, int32_t column, double value) {
        Trace("ORBSETVALUE",
              [&](TraceLine& l) { l.Text(symbol).F32(interval).Int(column).F64(value); });
        tables_.SetValue(symbol, interval, column, value);
        return 0;
    }
    int32_t ORBCOMMITROW(const char* symbol, float interval) {
        Trace("ORBCOMMITROW", [&](TraceLine& l) { l.Text(symbol).F32(interval); });
        tables_.Commit(symbol, interval);
        return 0;
    }
    int32_t ORBGETNUMROWS2(const char* symbol, float interval, float interval2, int32_t zero1,
                           int32_t zero2) {
        Trace("ORBGETNUMROWS2", [&](TraceLine& l) {
            l.Text(symbol).F32(interval).F32(interval2).Int(zero1).Int(zero2);
        });
        return static_cast<int32_t>(tables_.NumRows(symbol, interval));
    }
    int32_t ORBCustomAction();

    // Writes the trace out now.
    void FlushTrace() {
        if (trace_) trace_->Flush();
    }

  protected:
    // tracePath empty: no trace. openStore as for TableBook.
    FeedCore(const std::string& tracePath, std::function<std::unique_ptr<TableStore>()> openStore);
    ~FeedCore() = default;

    // Adds the trace line of one call when tracing.
    template <typename Fill>
    void Trace(const char* name, Fill&& fill) {
        if (trace_) trace_->Add(name, std::forward<Fill>(fill));
    }
    // Traces ORBSETUPDATA and sets the table up.
    Table& SetUpTable(const char* symbol, const char* description, float interval, int32_t columns,
                      const char* category, double startDate);
    // Hands given (when known) over in the caller's string variables (feedlib/orbfeed.h), then
    // traces the texts they hold, the password masked: one "*" for each of its bytes.
    void GiveCredentials(char** user, char** password,
                         const std::optional<std::pair<std::string, std::string>>& given,
                         CredentialDelivery delivery);

    std::unique_ptr<TraceWriter> trace_;
    TableBook tables_;
};

}  // namespace orbfeed
