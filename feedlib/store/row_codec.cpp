// The stored row format: binding a row's values for the writer and reading them back.
#include "feedlib/store/row_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace orbfeed::store {
namespace {

constexpr int kFixedValues = 6;  // datetime, c2..c6

void AppendJsonNumber(std::string& out, double v) {
    if (std::isnan(v)) {
        out += "null";
    } else if (std::isinf(v)) {
        out += v > 0 ? "9e999" : "-9e999";
    } else {
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out.append(buf, r.ptr);
    }
}

}  // namespace

void BindInterval(sqlite3_stmt* stmt, int index, float interval) {
    if (std::isnan(interval)) {
        sqlite3_bind_null(stmt, index);
    } else {
        sqlite3_bind_double(stmt, index, interval == 0 ? 0.0 : static_cast<double>(interval));
    }
}

void AppendExtraValues(std::string& out, const double* values, int count) {
    out += '[';
    for (int k = 0; k < count; ++k) {
        if (k > 0) out += ',';
        AppendJsonNumber(out, values[k]);
    }
    out += ']';
}

void BindRowValues(sqlite3_stmt* stmt, const double* values, int count, std::string& scratch) {
    sqlite3_bind_int(stmt, 3, count);
    for (int k = 0; k < kFixedValues; ++k) {
        if (k < count) {
            sqlite3_bind_double(stmt, 4 + k, values[k]);
        } else {
            sqlite3_bind_null(stmt, 4 + k);
        }
    }
    if (count > kFixedValues) {
        scratch.clear();
        AppendExtraValues(scratch, values + kFixedValues, count - kFixedValues);
        sqlite3_bind_text(stmt, 10, scratch.data(), static_cast<int>(scratch.size()),
                          SQLITE_STATIC);
    } else {
        sqlite3_bind_null(stmt, 10);
    }
}

void ParseExtraValues(const char* p, size_t n, std::vector<double>& out) {
    const char* end = p + n;
    while (p < end && *p != '[') ++p;
    if (p < end) ++p;
    while (p < end && *p != ']') {
        while (p < end && (*p == ' ' || *p == ',')) ++p;
        if (p >= end || *p == ']') break;
        double v = std::nan("");
        if (*p == 'n') {
            p += std::min<size_t>(4, static_cast<size_t>(end - p));
        } else {
            auto r = std::from_chars(p, end, v);
            if (r.ec == std::errc::result_out_of_range) {
                v = *p == '-' ? -HUGE_VAL : HUGE_VAL;
                // Tiny magnitudes underflow to zero rather than to infinity.
                const char* e = std::find_if(p, r.ptr, [](char c) { return c == 'e' || c == 'E'; });
                if (e + 1 < r.ptr && e[1] == '-') v = *p == '-' ? -0.0 : 0.0;
            } else if (r.ec != std::errc()) {
                break;
            }
            p = r.ptr;
        }
        out.push_back(v);
    }
}

void ReadRowValues(sqlite3_stmt* s, std::vector<double>& out) {
    const int n = std::max(0, sqlite3_column_int(s, 1));
    out.clear();
    for (int k = 0; k < n && k < kFixedValues; ++k) {
        out.push_back(sqlite3_column_type(s, 2 + k) == SQLITE_NULL
                          ? std::nan("")
                          : sqlite3_column_double(s, 2 + k));
    }
    if (n > kFixedValues && sqlite3_column_type(s, 8) != SQLITE_NULL) {
        ParseExtraValues(reinterpret_cast<const char*>(sqlite3_column_text(s, 8)),
                         static_cast<size_t>(sqlite3_column_bytes(s, 8)), out);
    }
    out.resize(static_cast<size_t>(n), std::nan(""));
}

}  // namespace orbfeed::store
