#pragma once
#include <array>
#include <string>

namespace tarnwick {

// One row of the ticker list: five texts, in column order.
enum TickerColumn : int {
    ColumnSymbol = 1,
    ColumnDescription = 2,
    ColumnCategory = 3,
    ColumnStartDate = 4,
    ColumnBarInterval = 5,
};

struct TickerEntry {
    std::string Symbol;
    std::string Description;
    std::string Category;
    std::string StartDate;
    std::string BarInterval;

    // column is 1..5; anything else is an error of the caller (asserted).
    const std::string& Field(int column) const;
    std::string& Field(int column);

    bool operator==(const TickerEntry&) const = default;
};

// The list never holds more rows than this (the row counters of the list actions are 16-bit).
inline constexpr int MaxTickerEntries = 32766;

}  // namespace tarnwick
