#include "tickers/ticker_entry.h"

#include <stdexcept>

namespace tarnwick {

namespace {
template <typename Entry>
auto& FieldOf(Entry& e, int column) {
    switch (column) {
        case ColumnSymbol:
            return e.Symbol;
        case ColumnDescription:
            return e.Description;
        case ColumnCategory:
            return e.Category;
        case ColumnStartDate:
            return e.StartDate;
        case ColumnBarInterval:
            return e.BarInterval;
        default:
            throw std::out_of_range("ticker list column out of range");
    }
}
}  // namespace

const std::string& TickerEntry::field(int column) const {
    return FieldOf(*this, column);
}
std::string& TickerEntry::field(int column) {
    return FieldOf(*this, column);
}

}  // namespace tarnwick
