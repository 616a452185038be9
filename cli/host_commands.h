#pragma once
// The host tool's commands that talk to a running pump: send, unload, credentials, request,
// remove.
#include <optional>
#include <string>

#include "cli/pump_calls.h"

namespace orbfeed::cli {

// Each command returns its exit status (pump_calls.h), after a message when it is not kExitOk.

// Writes text into the pump's command channel as it stands; a text with a NUL byte is refused.
int SendText(const std::string& text);

// Sends the unload command and waits up to timeoutSeconds for the pump to end.
int Unload(int timeoutSeconds);

// Gives the pump the host's user id and password.
int Credentials(const std::string& user, const std::string& password);

// Sends the remove command and says which served table it ended, or that none matched
// (kExitNoData).
int Remove(const std::string& symbol, const std::string& interval);

// The whole contents of the file at path, or of standard input for "-"; false when unreadable.
bool ReadFileOrStdin(const std::string& path, std::string& out);

// What request sends; checked by RequestRefusal before anything goes out.
struct RequestOptions {
    std::string symbol;
    std::string description;
    std::string category = "Stock";
    double interval = 1;
    std::string start;
    std::string fields = "Date/Time,Open,High,Low,Close,Volume";
};

// Sends the history request, shows its progress and says how many rows the store holds once it
// is complete.
int Request(const RequestOptions& o);

// The text of a history request: symbol, description, category, interval, start date and
// fields, separated by "!@#".
std::string RequestText(const std::string& symbol, const std::string& description,
                        const std::string& category, const std::string& interval,
                        const std::string& start, const std::string& fields);

// Why a request cannot be served, or empty when it can: a blank symbol, a separator inside the
// symbol, description, category or start text (it would shift the fields), an interval that is
// not finite, a start text that is no date (startDate, as the pump reads it, is nullopt) or that
// lies after the program's clock (a date/time).
std::string RequestRefusal(const std::string& symbol, const std::string& description,
                           const std::string& category, double interval, const std::string& start,
                           std::optional<double> startDate, double programClock);

// The interval the pump serves for a requested one: above one minute it serves one minute.
float ServedInterval(double requested);

}  // namespace orbfeed::cli
