// The host tool's request command: checks the input, sends the history request, shows its
// progress and says how many rows the pump's store holds once it is complete.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>

#include "cli/date_options.h"
#include "cli/host_commands.h"
#include "cli/pump_calls.h"
#include "dates/calendar.h"
#include "dates/classic_date.h"

namespace orbfeed::cli {
namespace {

using namespace std::chrono_literals;
using proto::Type;
using proto::Writer;

constexpr std::string_view kSeparator = "!@#";

std::string IsoDateDaysBack(int days) {
    const std::time_t now = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

class ProgressView {
  public:
    ProgressView() : terminal_(::isatty(STDOUT_FILENO) == 1) {}
    void Show(int32_t percent) {
        if (percent == last_) return;
        last_ = percent;
        if (terminal_) {
            const int filled = percent < 0 ? 0 : (percent > 100 ? 40 : percent * 40 / 100);
            std::cout << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] "
                      << percent << "%" << std::flush;
            open_ = true;
        } else {
            std::cout << "progress " << percent << "%" << std::endl;
        }
    }
    void End() {
        if (open_) std::cout << '\n' << std::flush;
        open_ = false;
    }

  private:
    bool terminal_;
    bool open_ = false;
    int32_t last_ = -1000;
};

// The program's clock as the pump reads it (the local date and time plus two hours), as a
// date/time.
double ProgramClock() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    const double day = tarnwick::DayNumberOf(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return day + (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0 + 2.0 / 24;
}

}  // namespace

int Request(const RequestOptions& o) {
    const std::string description = o.description.empty() ? o.symbol : o.description;
    const std::string start = o.start.empty() ? IsoDateDaysBack(30) : o.start;
    if (const std::string refusal = RequestRefusal(o.symbol, description, o.category, o.interval,
                                                   start, ReadStartDate(start), ProgramClock());
        !refusal.empty()) {
        Error(refusal + "; nothing sent");
        return kExitRefused;
    }
    const std::string text =
        RequestText(o.symbol, description, o.category, ShortestText(o.interval), start, o.fields);
    const std::string symbol = TrimmedSymbol(o.symbol);  // the pump trims the symbol
    const float served = ServedInterval(o.interval);
    const std::string name = symbol + " at interval " + ShortestText(served);
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    if (o.interval > 1) {
        std::cout << symbol << ": interval " << ShortestText(o.interval)
                  << " is served as 1 (the pump serves intervals above one minute as one minute)"
                  << std::endl;
    }
    bool tableSeen = false;
    bool gone = false;
    bool complete = false;
    std::string storeError;
    ProgressView progress;
    auto onFrame = [&](const proto::Frame& f) {
        proto::Reader r(f.payload);
        if (f.type == Type::Table) {
            const std::string s = r.Text();
            const float i = r.F32();
            if (r.Ok() && s == symbol && i == served) tableSeen = true;
        } else if (f.type == Type::Progress) {
            const int32_t percent = r.I32();
            const bool final = r.U8() != 0;
            progress.Show(percent);
            complete = complete || (final && percent == 100);
        } else if (f.type == Type::StoreError) {
            storeError = r.Text();
        } else if (f.type == Type::ChannelWithdrawn) {
            gone = true;
        }
    };
    if (int status = SendAndAwaitAck(*client, Writer(Type::Send).Text(text).Done(), onFrame);
        status != kExitOk) {
        return status;
    }
    while (!complete) {
        proto::Frame f;
        if (gone || client->Receive(f, -1ms) != HostClient::Status::Frame) {
            progress.End();
            Error(gone ? "the pump withdrew its channel before the request completed"
                       : "the pump went away before the request completed");
            return kExitFailed;
        }
        onFrame(f);
    }
    progress.End();
    if (!tableSeen) {
        Error("no data came for " + name +
              " (the pump did not serve the request: see its standard error)");
        return kExitNoData;
    }
    // The count is what the store holds once it has written every row the pump sent.
    const auto stored = QueryStored(*client, symbol, served, onFrame);
    if (!stored) {
        Error("the pump went away before saying what its store holds of " + name);
        return kExitFailed;
    }
    if (!stored->kept) {
        std::cout << name << ": " << stored->sent
                  << " rows sent, none kept (the pump's library keeps no store)" << std::endl;
        return kExitOk;
    }
    const int64_t held = std::max<int64_t>(stored->stored, 0);
    const std::string problem = stored->problem.empty() ? storeError : stored->problem;
    if (held < stored->sent || !stored->problem.empty()) {
        Error(name + ": " + std::to_string(held) + " of " + std::to_string(stored->sent) +
              " rows stored" + (problem.empty() ? std::string() : ": " + problem));
        return kExitFailed;
    }
    std::cout << name << ": " << held << " rows" << std::endl;
    return kExitOk;
}

std::string RequestRefusal(const std::string& symbol, const std::string& description,
                           const std::string& category, double interval, const std::string& start,
                           std::optional<double> startDate, double programClock) {
    if (symbol.find_first_not_of(" \t\r\n\v\f") == std::string::npos) return "the symbol is blank";
    const std::pair<const char*, const std::string*> fields[] = {{"the symbol", &symbol},
                                                                 {"the description", &description},
                                                                 {"the category", &category},
                                                                 {"--start", &start}};
    for (const auto& [what, text] : fields) {
        if (text->find(kSeparator) != std::string::npos) {
            return std::string(what) + " " + *text +
                   " contains the field separator !@#, which would shift the request's fields";
        }
    }
    if (!std::isfinite(interval)) {
        return "--interval " + ShortestText(interval) + " is no number of minutes";
    }
    if (!startDate) {
        return "--start " + start +
               ": not a date as the pump reads dates (2003-01-15, 01/01/2003; a date before 1900 "
               "takes no time of day)";
    }
    if (tarnwick::LinearFromClassic(*startDate) > programClock) {
        const auto at = tarnwick::CalendarFromClassic(programClock);
        char clock[32] = "?";
        if (at) {
            std::snprintf(clock, sizeof clock, "%04d-%02d-%02d %02d:%02d", at->Year, at->Month,
                          at->Day, static_cast<int>(at->MsOfDay / 3600000),
                          static_cast<int>(at->MsOfDay / 60000 % 60));
        }
        return "--start " + start + " lies after the program's clock (" + clock +
               ", local time plus two hours): there is no history to send";
    }
    return {};
}

}  // namespace orbfeed::cli
