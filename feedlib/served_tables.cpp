// Following the pump's list from the set-ups and commands the library sees.
#include "feedlib/served_tables.h"

#include <algorithm>

#include "host/text_rules.h"

namespace orbfeed {

void ServedTables::SetUp(const std::string& symbol, const std::string& category, float interval) {
    std::lock_guard lock(mu_);
    const auto same = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) {
        return r.symbol == symbol && r.category == category && r.interval == interval;
    });
    if (same != rows_.end()) rows_.erase(same);
    rows_.push_back(Row{symbol, category, interval});
}

void ServedTables::Command(std::string_view text) {
    constexpr std::string_view marker = "*****RemoveTicker*****";
    if (text.find(marker) == std::string_view::npos) return;
    // The pump's reading: the symbol is head(tail(T)), the interval NumberValue of tail(tail(T));
    // with fewer than two separators the command is ignored.
    if (!tarnwick::HasSeparator(text)) return;
    const std::string_view rest = tarnwick::Tail(text);
    if (!tarnwick::HasSeparator(rest)) return;
    const std::string symbol = tarnwick::Head(rest);
    const double v = tarnwick::NumberValue(tarnwick::Tail(rest));
    const auto interval = static_cast<float>(v);
    const auto negated = static_cast<float>(-v);
    std::lock_guard lock(mu_);
    const auto row = std::find_if(rows_.begin(), rows_.end(), [&](const Row& r) {
        return r.symbol == symbol && (r.interval == interval || r.interval == negated);
    });
    if (row != rows_.end()) rows_.erase(row);
}

std::vector<std::pair<std::string, float>> ServedTables::Tables() const {
    std::lock_guard lock(mu_);
    std::vector<std::pair<std::string, float>> out;
    for (const Row& r : rows_) {
        const bool listed = std::any_of(out.begin(), out.end(), [&](const auto& t) {
            return t.first == r.symbol && t.second == r.interval;
        });
        if (!listed) out.emplace_back(r.symbol, r.interval);
    }
    return out;
}

}  // namespace orbfeed
