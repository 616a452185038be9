// The channel dispatcher and the user's actions on a DataPump with a fake window and a feed
// library that only counts. The input is cut at NUL bytes into steps; a step whose first byte is
// one of the action codes below is a user action or timer event, any other step is a command
// text written into the channel, as the host does.
//
//   0x01 [n]               Timer1 fires (the clock first moves n seconds)
//   0x02 flags fields...   Add: the dialog's five fields separated by 0x1f (symbol, name,
//                          category, start date, bar interval); flags bit 0 cancels
//   0x03 bits...           the rows whose bits are set get selected, then Remove is clicked
//   0x04 c                 a click on column header c % 7 (0 and 6 are no column)
//   0x05 bits...           selection as for 0x03 followed by a key release (no removal)
//
// An input that starts with 0x06 and a byte runs under en_US, en_GB or de_DE by that byte
// (otherwise en_US).
//
// Histories run from the start date up to the feed clock, so a start date far in the past would
// make millions of rows. The harness therefore sets the clock before every history to at most a
// bounded number of rows after its start; the pump itself is not changed.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "host/text_rules.h"
#include "pump/data_pump.h"
#include "tests/support/fake_shell.h"
#include "tests/support/fixed_date_locales.h"
#include "tests/support/recording_host_feed.h"
#include "tickers/list_file.h"
#include "tickers/new_ticker_form.h"

using namespace tarnwick;
using tarnwick::fuzz::Printable;
using tarnwick::testing::FakeShell;
using tarnwick::testing::ManualClock;
using tarnwick::testing::RecordingHostFeed;

namespace {

constexpr std::string_view UnloadMarker = "*****UnloadEXE*****";
constexpr std::string_view CredentialsMarker = "*****UserIDPassword*****";
constexpr std::string_view RemoveMarker = "*****RemoveTicker*****";

// 1 January 2003, 08:00 local time.
constexpr double StartClock = 37622 + 8.0 / 24;
// Library calls one history may make, roughly.
constexpr double CallBudget = 200000;
constexpr int MaxSteps = 64;

class TempFolder {
  public:
    TempFolder() : path(tarnwick::fuzz::MakeTempFolder("tarnwick-fuzz-pump")) {}
    ~TempFolder() {
        ::unlink(ListFilePath(path).c_str());
        ::rmdir(path.c_str());
    }
    std::string path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

int CountSeparators(std::string_view text) {
    int count = 0;
    for (auto pos = text.find(FieldSeparator); pos != std::string_view::npos;
         pos = text.find(FieldSeparator, pos + FieldSeparator.size()))
        ++count;
    return count;
}

// Moves the clock so that a history from start at this interval with this many columns makes a
// bounded number of library calls. spanByte picks how far within that bound (0: the start day's
// first row only).
void BoundHistory(ManualClock& clock, double start, double interval, std::size_t columns,
                  unsigned spanByte) {
    double stepMinutes = interval >= 0.01 ? interval : interval < 0 ? -interval : 0.01;
    const double perRow = static_cast<double>(columns) + 4 * 20;  // a bar draws 20 ticks
    const double rows = std::max(1.0, CallBudget / perRow);
    double span = rows * stepMinutes / 1440.0;
    span = std::min(span, 3.0) * (spanByte / 255.0);
    // The feed clock is local time plus two hours; the first row stands at 09:00 of the start day.
    clock.now = start + 9.0 / 24 + span - 2.0 / 24;
}

struct Harness {
    Harness(const std::string& folder, DateLocale locale)
        : clock(StartClock), pump(feed, clock, shell, std::move(locale), folder) {
        feed.recordLines = false;
        shell.pump = &pump;
    }
    RecordingHostFeed feed;
    ManualClock clock;
    FakeShell shell;
    DataPump pump;
};

std::string Folded(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Every subscription belongs to a listed row (keys compare without regard to letter case).
void CheckSubscriptions(const Harness& h, const std::string& step) {
    const TickerList& list = h.pump.List();
    std::vector<std::string> rowKeys;
    for (int row = 1; row <= list.EntryCount(); ++row) {
        const TickerEntry& e = list.EntryAt(row);
        rowKeys.push_back(Folded(SubscriptionKey(e.Symbol, NumberValue(e.BarInterval))));
    }
    for (const std::string& key : h.pump.Subscriptions().Keys()) {
        FUZZ_CHECK(std::find(rowKeys.begin(), rowKeys.end(), Folded(key)) != rowKeys.end(),
                   "subscription " + Printable(key) + " has no row after " + Printable(step));
    }
}

// A row with its start date reduced to what it means: the day of a whole date, else the text.
std::string RowMeaning(const TickerEntry& e, const DateLocale& locale) {
    std::string start = "text:" + e.StartDate;
    if (const std::optional<double> d = ParseDateText(e.StartDate, locale);
        d && *d == std::floor(*d))
        start = "day:" + std::to_string(static_cast<long long>(*d));
    return e.Symbol + '\x1f' + e.Description + '\x1f' + e.Category + '\x1f' + e.BarInterval +
           '\x1f' + start;
}

std::vector<std::string> Meanings(const Harness& h) {
    std::vector<std::string> out;
    for (int row = 1; row <= h.pump.List().EntryCount(); ++row)
        out.push_back(RowMeaning(h.pump.List().EntryAt(row), h.pump.Locale()));
    std::sort(out.begin(), out.end());
    return out;
}

// A click on a column header: the rows keep their meaning (a whole date may come back in the
// short date form) and, by Start Date, every two dates stand in date order.
void ColumnClick(Harness& h, int column) {
    const std::vector<std::string> before = Meanings(h);
    h.pump.ListView1_ColumnClick(column);
    FUZZ_CHECK(Meanings(h) == before,
               "a click on column " + std::to_string(column) + " changed what the rows say");
    if (column != ColumnStartDate) return;
    const TickerList& list = h.pump.List();
    const bool ascending = list.CurrentSortOrder() == SortOrder::Ascending;
    std::optional<double> previous;
    int previousRow = 0;
    for (int row = 1; row <= list.EntryCount(); ++row) {
        const std::optional<double> d = ParseDateText(list.EntryAt(row).StartDate, h.pump.Locale());
        if (!d) continue;
        const double day = std::floor(*d);
        if (previous) {
            FUZZ_CHECK(ascending ? *previous <= day : *previous >= day,
                       "rows " + std::to_string(previousRow) + " (" +
                           Printable(list.EntryAt(previousRow).StartDate) + ") and " +
                           std::to_string(row) + " (" + Printable(list.EntryAt(row).StartDate) +
                           ") out of date order");
        }
        previous = day;
        previousRow = row;
    }
}

void CheckState(const Harness& h, const std::string& step) {
    const TickerList& list = h.pump.List();
    FUZZ_CHECK(list.EntryCount() <= MaxTickerEntries, std::to_string(list.EntryCount()));
    FUZZ_CHECK(!h.pump.Prices().HistoryBusy(), "history still busy after " + Printable(step));
    FUZZ_CHECK(h.shell.timerEnabled, "the timer is left off after " + Printable(step));
    FUZZ_CHECK(h.shell.listEnabled, "the list is left disabled after " + Printable(step));
    CheckSubscriptions(h, step);
    // The Remove button may stay enabled after a remove command took the selected row: it
    // follows the selection only on the user's clicks and keys, and a click then removes nothing.
}

void SelectRows(Harness& h, std::string_view bits) {
    TickerList& list = h.pump.List();
    for (int row = 1; row <= list.EntryCount(); ++row) {
        const auto byte = static_cast<std::size_t>((row - 1) / 8);
        const bool on = byte < bits.size() &&
                        ((static_cast<unsigned char>(bits[byte]) >> ((row - 1) % 8)) & 1) != 0;
        list.SetEntrySelected(row, on);
    }
}

void SendCommand(Harness& h, const std::string& text, unsigned spanByte) {
    std::optional<std::string> symbol, category, intervalText;
    if (text != UnloadMarker && text != CredentialsMarker &&
        text.find(RemoveMarker) == std::string::npos && CountSeparators(text) >= 5) {
        // Read the request as the pump does, to bound its history.
        std::string_view rest = Tail(text);
        const std::string sym = Head(text);
        rest = Tail(rest);
        const std::string cat = Head(rest);
        rest = Tail(rest);
        double interval = NumberValue(Head(rest));
        if (interval > 1) interval = 1;
        rest = Tail(rest);
        const std::optional<double> start = ParseDateText(Head(rest), h.pump.Locale());
        const std::string_view fields = Tail(rest);
        const std::size_t columns =
            1 + static_cast<std::size_t>(std::count(fields.begin(), fields.end(), ','));
        if (start) {
            BoundHistory(h.clock, *start, interval, columns, spanByte);
            symbol = sym;
            category = cat;
            intervalText = NumberText(interval);
        }
    }
    const long long rowsBefore = h.feed.rowCount;
    h.shell.Send(text);
    if (text.empty() || text == UnloadMarker) return;
    FUZZ_CHECK(h.shell.channel.empty(),
               "the channel keeps " + Printable(h.shell.channel) + " after " + Printable(text));
    if (symbol && !h.pump.List().IsFull()) {
        // The request's row is listed exactly once.
        int found = 0;
        const TickerList& list = h.pump.List();
        for (int row = 1; row <= list.EntryCount(); ++row) {
            const TickerEntry& e = list.EntryAt(row);
            if (e.Symbol == *symbol && e.Category == *category && e.BarInterval == *intervalText)
                ++found;
        }
        FUZZ_CHECK(found == 1, std::to_string(found) + " rows for " + Printable(text));
        FUZZ_CHECK(h.feed.rowCount > rowsBefore, "no history rows for " + Printable(text));
    }
}

void AddStep(Harness& h, std::string_view rest, unsigned spanByte) {
    const bool cancel = !rest.empty() && (static_cast<unsigned char>(rest[0]) & 1) != 0;
    if (!rest.empty()) rest.remove_prefix(1);
    std::vector<std::string> parts;
    for (int k = 0; k < 5; ++k) {
        const std::size_t cut = rest.find('\x1f');
        parts.emplace_back(rest.substr(0, cut));
        if (cut == std::string_view::npos) {
            rest = {};
        } else {
            rest.remove_prefix(cut + 1);
        }
    }
    NewTickerFields fields{parts[0], parts[1], parts[2], parts[3], parts[4]};
    // The dialog closes with OK only on valid fields; anything else is a Cancel.
    const bool valid = !ValidateNewTicker(fields, h.pump.Locale()).has_value();
    h.shell.dialogFields = fields;
    h.shell.dialogCancels = cancel || !valid;
    if (valid) {
        if (const std::optional<double> start = ParseDateText(fields.StartDate, h.pump.Locale())) {
            const double interval = NumberValue(fields.BarInterval);
            BoundHistory(h.clock, *start, interval, interval == 0 ? 3 : 6, spanByte);
        }
    }
    const int before = h.pump.List().EntryCount();
    h.pump.Add_Click();
    const int after = h.pump.List().EntryCount();
    FUZZ_CHECK(after == before || (after == before + 1 && valid && !cancel),
               std::to_string(before) + " -> " + std::to_string(after) + " rows");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TempFolder folder;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    // An input starting with 0x06 picks the locale by its second byte: en_US, en_GB, de_DE.
    DateLocale locale = EnUSLocale();
    if (input.size() >= 2 && input[0] == '\x06') {
        const int pick = static_cast<unsigned char>(input[1]) % 3;
        locale = pick == 0 ? EnUSLocale() : pick == 1 ? EnGBLocale() : DeDELocale();
        input.remove_prefix(2);
    }
    Harness h(folder.path, std::move(locale));
    ::unlink(ListFilePath(folder.path).c_str());
    h.pump.Form_Load(1);

    for (int steps = 0; steps < MaxSteps; ++steps) {
        const std::size_t cut = input.find('\0');
        const std::string step(input.substr(0, cut));
        // The byte after the step's text (its length, when it is the last) picks a history span.
        const auto spanByte = static_cast<unsigned>(step.size() * 37 % 256);
        const unsigned char code = step.empty() ? 0 : static_cast<unsigned char>(step[0]);
        const std::string_view rest =
            step.empty() ? std::string_view() : std::string_view(step).substr(1);
        switch (code) {
            case 0x01:
                if (!rest.empty()) h.clock.AdvanceSeconds(static_cast<unsigned char>(rest[0]));
                {
                    // One row committed for every listed row.
                    const long long rows = h.feed.rowCount;
                    h.pump.Timer1_Timer();
                    FUZZ_CHECK(h.feed.rowCount - rows == h.pump.List().EntryCount(),
                               std::to_string(h.feed.rowCount - rows) + " rows for " +
                                   std::to_string(h.pump.List().EntryCount()));
                }
                break;
            case 0x02:
                AddStep(h, rest, spanByte);
                break;
            case 0x03:
                SelectRows(h, rest);
                h.pump.ListView1_MouseUp();
                h.pump.Remove_Click();
                FUZZ_CHECK(!h.pump.List().AnyEntrySelected(), "selected rows stay after Remove");
                break;
            case 0x04:
                ColumnClick(h, rest.empty() ? 1 : static_cast<unsigned char>(rest[0]) % 7);
                break;
            case 0x05:
                SelectRows(h, rest);
                h.pump.ListView1_KeyUp();
                break;
            default:
                SendCommand(h, step, spanByte);
                break;
        }
        CheckState(h, step);
        if (h.shell.unloads > 0) {
            // The program ends with its close; what it saved is the list as it stood.
            FUZZ_CHECK(
                h.shell.unloadStatus == 0,
                "close failed: " +
                    (h.shell.diagnostics.empty() ? std::string() : h.shell.diagnostics.back()));
            if (h.pump.ListChanged()) {
                const std::string saved = ReadFile(ListFilePath(folder.path));
                FUZZ_CHECK(saved == ListFileBytes(h.pump.List()),
                           "saved " + Printable(saved) + " for " +
                               Printable(ListFileBytes(h.pump.List())));
            }
            return 0;
        }
        if (cut == std::string_view::npos) break;
        input.remove_prefix(cut + 1);
    }
    return 0;
}
