#pragma once
// The stored row format, written by the store's writer and read back by the host tool: a row's
// first six values in the columns datetime, c2..c6, the rest as a JSON array in `extra`, and an
// interval key that keeps NaN as NULL and -0 as 0.
#include <sqlite3.h>

#include <string>
#include <vector>

namespace orbfeed::store {

// The row columns in the order ReadRowValues expects them, after seq and ncols.
inline constexpr const char* kRowColumns = "seq, ncols, datetime, c2, c3, c4, c5, c6, extra";

// Binds a table's interval key: NULL for NaN, 0 for either zero.
void BindInterval(sqlite3_stmt* stmt, int index, float interval);

// Binds ?3 ncols, ?4 date/time, ?5..?9 columns 2..6 and ?10 the columns from 7 on. The text of
// ?10 is kept in scratch, which must outlive the statement's next step.
void BindRowValues(sqlite3_stmt* stmt, const double* values, int count, std::string& scratch);

// Reads the values of a row selected with kRowColumns (ncols at column 1): always ncols values,
// NaN where a value is missing.
void ReadRowValues(sqlite3_stmt* stmt, std::vector<double>& out);

// The JSON array of columns 7 and up: numbers in their shortest round-trip form, NaN as null,
// infinities as +-9e999 (which JSON readers, SQLite's among them, take as infinity).
void AppendExtraValues(std::string& out, const double* values, int count);
void ParseExtraValues(const char* text, size_t size, std::vector<double>& out);

}  // namespace orbfeed::store
