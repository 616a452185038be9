#pragma once
// The one capturing HostFeed fake of the tests: records every call as one line in the feed
// library's trace format (name, then the arguments separated by TABs), counts calls by name and
// collects committed rows (symbol, interval, values by column); plus a clock the test sets by hand.
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/host_feed.h"
#include "pricedata/feed_clock.h"

namespace tarnwick::testing {

inline std::string FormatNumber(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}
inline std::string FormatNumber(float v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}
inline std::string FormatNumber(int32_t v) {
    return std::to_string(v);
}

class RecordingHostFeed : public HostFeed {
  public:
    struct Row {
        std::string symbol;
        float interval = 0;
        std::map<int32_t, double> values;
    };

    std::vector<std::string> calls;
    // Committed rows (when keepRows), committed rows by the whole day of column 1, and every
    // UpdatePercent argument.
    std::vector<Row> rows;
    bool keepRows = true;
    std::map<long long, int> rowsPerDay;
    std::vector<int32_t> percents;
    // When set, GetUserIDPassword lets the test fill or replace the two texts.
    std::function<void(std::string&, std::string&)> credentials;
    // Called after every recorded call (for example to advance a clock or inject a command).
    std::function<void(const std::string&)> onCall;
    // When false, only the counters below advance (for long histories).
    bool recordLines = true;
    long long rowCount = 0;
    long long valueCount = 0;

    int32_t SetDataFeedhwnd(int32_t h) override { return Record("SetDataFeedhwnd", h); }
    int32_t RequireUserIDPassword() override { return Record("RequireUserIDPassword"); }
    int32_t GetUserIDPassword(std::string& user, std::string& pass) override {
        if (credentials) credentials(user, pass);
        return Record("GetUserIDPassword", user, pass);
    }
    int32_t UpdatePercent(int32_t p) override {
        percents.push_back(p);
        return Record("UpdatePercent", p);
    }
    int32_t ORBSETUPDATA(std::string& s, std::string& d, float i, int32_t n, std::string& c,
                         double start) override {
        return Record("ORBSETUPDATA", s, d, i, n, c, start);
    }
    int32_t ORBSETLABEL(std::string& s, float i, int32_t k, std::string& label) override {
        return Record("ORBSETLABEL", s, i, k, label);
    }
    int32_t ORBSETVALUE(std::string& s, float i, int32_t k, double v) override {
        ++valueCount;
        current_.symbol = s;
        current_.interval = i;
        current_.values[k] = v;
        return Record("ORBSETVALUE", s, i, k, v);
    }
    int32_t ORBCOMMITROW(std::string& s, float i) override {
        ++rowCount;
        auto day = current_.values.count(1) ? std::floor(current_.values[1]) : 0.0;
        ++rowsPerDay[static_cast<long long>(day)];
        if (keepRows) rows.push_back(current_);
        current_ = Row{};
        return Record("ORBCOMMITROW", s, i);
    }
    int32_t ORBGETNUMROWS2(std::string& s, float i, float i2, int32_t z1, int32_t z2) override {
        return Record("ORBGETNUMROWS2", s, i, i2, z1, z2);
    }

    // Calls of op, recorded as lines or not.
    int Count(const std::string& op) const {
        auto it = counts_.find(op);
        return it == counts_.end() ? 0 : it->second;
    }
    // Forgets every call and row so far.
    void Clear() {
        calls.clear();
        rows.clear();
        rowsPerDay.clear();
        percents.clear();
        counts_.clear();
    }

    // Lines whose operation name equals op.
    std::vector<std::string> Named(const std::string& op) const {
        std::vector<std::string> out;
        for (const auto& c : calls) {
            if (c.compare(0, op.size(), op) == 0 && (c.size() == op.size() || c[op.size()] == '\t'))
                out.push_back(c);
        }
        return out;
    }

  private:
    static void Append(std::string& line, const std::string& s) { line += '\t' + s; }
    static void Append(std::string& line, const char* s) { line += '\t' + std::string(s); }
    template <typename T>
    static void Append(std::string& line, T v) {
        line += '\t' + FormatNumber(v);
    }
    template <typename... Args>
    int32_t Record(const char* op, const Args&... args) {
        ++counts_[op];
        if (recordLines) {
            std::string line = op;
            (Append(line, args), ...);
            calls.push_back(line);
            if (onCall) onCall(calls.back());
        } else if (onCall) {
            onCall(op);
        }
        return 0;
    }

    std::map<std::string, int> counts_;
    Row current_;
};

// A clock that stands still until the test moves it.
class ManualClock : public Clock {
  public:
    explicit ManualClock(double localNow = 0) : now(localNow) {}
    double now;
    double LocalNow() override { return now; }
    void AdvanceSeconds(double seconds) { now += seconds / 86400.0; }
};

}  // namespace tarnwick::testing
