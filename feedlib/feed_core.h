#pragma once
// What both stand-in feed libraries (libORBFEED.so and ORBFEED.DLL) do alike: the trace line of
// every call, the tables, and the copy of the credentials into the caller's buffers. Each
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

// How an over-long credential is cut to its buffer: UTF-8 texts before the character that would
// not fit whole; code-page texts (one byte a character) at the buffer's size.
enum class CredentialText { Utf8, CodePage };

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
    // Copies given (when known) into the caller's buffers, then traces what they hold.
    void GiveCredentials(char* user, char* password,
                         const std::optional<std::pair<std::string, std::string>>& given,
                         CredentialText text);

    std::unique_ptr<TraceWriter> trace_;
    TableBook tables_;
};

}  // namespace orbfeed
