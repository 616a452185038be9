#include "pump/data_pump.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "host/text_rules.h"
#include "pump/command_text.h"
#include "pump/history_request_text.h"
#include "pump/start_date_sort.h"
#include "tickers/list_file.h"

namespace tarnwick {

namespace {

constexpr std::string_view UnloadMarker = "*****UnloadEXE*****";
constexpr std::string_view CredentialsMarker = "*****UserIDPassword*****";
constexpr std::string_view RemoveMarker = "*****RemoveTicker*****";
constexpr int CredentialChars = 21;
constexpr auto CompletionPause = std::chrono::milliseconds(1000);

// The number of bytes of the UTF-8 character that starts at text[i] (1 for a stray byte).
std::size_t CharacterLength(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t len = c < 0x80           ? 1
                      : (c >> 5) == 0x6  ? 2
                      : (c >> 4) == 0xe  ? 3
                      : (c >> 3) == 0x1e ? 4
                                         : 1;
    if (i + len > text.size()) return 1;
    for (std::size_t k = 1; k < len; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) >> 6) != 0x2) return 1;
    }
    return len;
}

// A credential as the library left it, at most 21 characters, a character never split (a UTF-8
// sequence counts as one, a stray byte as one). A text holding a NUL ends there, unpadded: the
// library wrote a shorter value into the 21 bytes (whose trailing NULs are dropped), and what
// follows the first NUL is no part of the value. A text without any NUL is cut to 21 characters
// or, when the library replaced the text with a shorter one, filled up with spaces to 21.
std::string FittedCredential(const std::string& text) {
    const std::size_t nul = text.find('\0');
    const std::string_view value(text.data(), std::min(nul, text.size()));
    std::size_t end = 0;
    int chars = 0;
    for (; end < value.size() && chars < CredentialChars; ++chars) {
        end += CharacterLength(value, end);
    }
    std::string fitted(value.substr(0, end));
    if (nul == std::string::npos)
        fitted.append(static_cast<std::size_t>(CredentialChars - chars), ' ');
    return fitted;
}

FieldList AddedFieldList(double interval) {
    if (interval == 0) return {"Date/Time", "Close", "Volume"};
    return {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
}

}  // namespace

DataPump::DataPump(HostFeed& feed, Clock& clock, ShellPort& shell, DateLocale locale,
                   std::string programFolder)
    : feed_(feed),
      shell_(shell),
      locale_(std::move(locale)),
      programFolder_(std::move(programFolder)),
      prices_(feed, clock) {}

void DataPump::Form_Load(int32_t channelHandle) {
    prices_.Generator().LastPrice = 30.0;
    feed_.SetDataFeedhwnd(channelHandle);
    feed_.RequireUserIDPassword();
}

int DataPump::Form_Unload() {
    int status = 0;
    if (listChanged_) {
        ListFileResult written = WriteListFile(ListFilePath(programFolder_), list_);
        if (!written.Ok) {
            // The old file (if any) is still whole; the rest of the close goes on regardless.
            shell_.Diagnostic("tarnwick: the ticker list was not saved: " + written.Error);
            status = 1;
        }
    }
    feed_.SetDataFeedhwnd(0);
    return status;
}

void DataPump::Text1_Change() {
    const std::string text = shell_.ChannelText();
    if (text.empty()) return;
    if (text == UnloadMarker) {
        // The close path ends the process; the field keeps the command.
        shell_.Unload();
        return;
    }
    if (text == CredentialsMarker) {
        CredentialsCommand();
    } else if (text.find(RemoveMarker) != std::string::npos) {
        RemoveTicker(text);
    } else {
        HistoryRequest(text);
    }
    shell_.SetChannelText("");
}

void DataPump::CredentialsCommand() {
    std::string userId(CredentialChars, '\0');
    std::string password(CredentialChars, '\0');
    feed_.GetUserIDPassword(userId, password);
    shell_.SetStatusPanelText(1, "UserID: " + FittedCredential(userId));
    shell_.SetStatusPanelText(2, "Password: " + FittedCredential(password));
}

void DataPump::HistoryRequest(const std::string& text) {
    // Every field is taken and checked before anything changes, so a request that cannot be
    // served leaves the list, the subscriptions and the timer as they were. The host still gets
    // its completion report: 100 says the request is finished, not that data was sent.
    auto finish = [this] {
        shell_.ProcessEventsFor(CompletionPause);
        feed_.UpdatePercent(100);
    };
    HistoryRequestReading reading = ReadHistoryRequest(text, locale_);
    if (!reading.Request) {
        shell_.Diagnostic("tarnwick: " + reading.Refusal);
        finish();
        return;
    }
    HistoryRequestFields& request = *reading.Request;
    const std::string& symbol = request.Symbol;
    // No already-served scan: a host asks for a history because it needs it, and a repeated
    // request replaces the earlier row below.
    const std::string intervalText = NumberText(request.Interval);
    int replaced = 0;
    for (int row = 1, n = list_.EntryCount(); row <= n; ++row) {
        const TickerEntry& e = list_.EntryAt(row);
        if (e.BarInterval == intervalText && e.Symbol == symbol && e.Category == request.Category) {
            replaced = row;
            break;
        }
    }
    if (replaced == 0 && list_.IsFull()) {
        shell_.Diagnostic("tarnwick: history request for " + Quoted(symbol) +
                          " ignored: the ticker list is full (" + std::to_string(MaxTickerEntries) +
                          " symbols)");
        finish();
        return;
    }

    shell_.SetTimerEnabled(false);
    std::string key = symbol;
    key += FieldSeparator;
    key += intervalText;  // the SubscriptionKey, from the NumberText already made
    if (replaced != 0) {
        subscriptions_.Remove(key);
        list_.RemoveEntryAt(replaced);
    }
    listChanged_ = true;
    list_.AppendEntry(TickerEntry{symbol, request.Description, request.Category, request.StartText,
                                  intervalText});
    // A key already present belongs to a listed symbol that differs only in letter case, or to
    // the same symbol in another category: the newest request's field list serves them all.
    subscriptions_.Put(key, request.Fields);

    prices_.SendSymbolHistory(request.Symbol, request.Description, request.Category,
                              request.Interval, request.StartDate, request.Fields, true);
    shell_.SetTimerEnabled(true);
    finish();
}

void DataPump::RemoveTicker(const std::string& text) {
    if (CountSeparators(text) < 2) {
        shell_.Diagnostic(
            "tarnwick: remove command ignored: it needs \"!@#\" symbol \"!@#\" interval: " +
            Quoted(text));
        return;
    }
    const std::string_view rest = Tail(text);
    const std::string symbol = Head(rest);
    const double interval = NumberValue(Tail(rest));
    for (int row = 1, n = list_.EntryCount(); row <= n; ++row) {
        const TickerEntry& e = list_.EntryAt(row);
        if (e.Symbol != symbol) continue;
        const double rowInterval = NumberValue(e.BarInterval);
        if (rowInterval == interval || rowInterval == -interval) {
            subscriptions_.Remove(SubscriptionKey(e.Symbol, rowInterval));
            list_.RemoveEntryAt(row);
            return;
        }
    }
}

void DataPump::Timer1_Timer() {
    prices_.Timer1_Timer(list_, subscriptions_);
}

void DataPump::Add_Click() {
    shell_.SetMousePointer(MousePointer::Busy);
    std::unique_ptr<NewTickerDialog> dialog = shell_.CreateNewTickerDialog();
    dialog->PlaceAt(shell_.WindowLeftTwips() + 500.0f, shell_.WindowTopTwips() + 500.0f);
    dialog->ShowModal();
    if (!dialog->CancelFlag()) AddEntry(dialog->Fields());
    dialog.reset();
    shell_.SetMousePointer(MousePointer::Arrow);
    shell_.SetMousePointer(MousePointer::Default);
}

void DataPump::AddEntry(const NewTickerFields& fields) {
    const double value = NumberValue(fields.BarInterval);
    for (int row = 1, n = list_.EntryCount(); row <= n; ++row) {
        const TickerEntry& e = list_.EntryAt(row);
        if (e.Symbol == fields.Symbol && NumberValue(e.BarInterval) == value) return;
    }
    if (list_.IsFull()) {
        shell_.ShowWarning(std::string(NewTickerCaption),
                           "The ticker list is full: remove a symbol before adding another.");
        return;
    }
    listChanged_ = true;
    const int row = list_.AppendEntry(TickerEntry{fields.Symbol, fields.SymbolName, fields.Category,
                                                  fields.StartDate, fields.BarInterval});
    FieldList names = AddedFieldList(value);
    // A case-variant key already present: the new row shares that entry, whose list now has
    // the shape this interval needs.
    subscriptions_.Put(SubscriptionKey(fields.Symbol, value), names);

    // The history gets copies of the row's texts, so nothing the library does changes the row.
    const TickerEntry& e = list_.EntryAt(row);
    std::string symbol = e.Symbol;
    std::string description = e.Description;
    std::string category = e.Category;
    const double interval = NumberValue(e.BarInterval);
    const std::optional<double> start = ParseDateText(e.StartDate, locale_);
    if (!start) {
        shell_.Diagnostic("tarnwick: no history sent for " + Quoted(symbol) + ": the start date " +
                          Quoted(e.StartDate) + " is no date");
        return;
    }
    prices_.SendSymbolHistory(symbol, description, category, interval, *start, names, true);
}

void DataPump::Remove_Click() {
    for (int row = list_.EntryCount(); row >= 1; --row) {
        if (!list_.IsEntrySelected(row)) continue;
        listChanged_ = true;
        const TickerEntry& e = list_.EntryAt(row);
        subscriptions_.Remove(SubscriptionKey(e.Symbol, NumberValue(e.BarInterval)));
        list_.RemoveEntryAt(row);
    }
    shell_.SetRemoveEnabled(false);
}

void DataPump::ListView1_ColumnClick(int column) {
    if (column < ColumnSymbol || column > ColumnBarInterval) return;
    shell_.SetListEnabled(false);
    std::optional<StartDateSortTexts> dateTexts;
    if (column == ColumnStartDate) dateTexts.emplace(list_, locale_);
    SortOrder order = SortOrder::Ascending;
    if (column == list_.SortColumn()) {
        order = list_.CurrentSortOrder() == SortOrder::Ascending ? SortOrder::Descending
                                                                 : SortOrder::Ascending;
    }
    const std::vector<int> newRowOf = list_.SortEntries(column, order);
    if (dateTexts) dateTexts->Restore(list_, newRowOf, locale_);
    shell_.SetListEnabled(true);
}

void DataPump::UpdateRemoveEnabled() {
    shell_.SetRemoveEnabled(list_.AnyEntrySelected());
}

void DataPump::ListView1_KeyUp() {
    UpdateRemoveEnabled();
}

void DataPump::ListView1_MouseUp() {
    UpdateRemoveEnabled();
}

}  // namespace tarnwick
