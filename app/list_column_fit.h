#pragma once
// Widens the list's columns where the design width cannot show a header caption (with room for
// the sort arrow, which any column may carry) or, in the Start Date column, a typical date. The
// design widths stay wherever they are wide enough.
#include <QStringList>

class QTreeView;

namespace tarnwick {

// The width a column needs to show its caption beside the sort arrow, and a cell's width to
// show text, both in the view's current font and style.
int HeaderWidthFor(const QTreeView& view, const QString& caption);
int CellWidthFor(const QTreeView& view, const QString& text);

// Sets each column to at least what its caption needs; the column dateColumn (0-based) also to
// what every text of dateSamples needs.
void FitListColumns(QTreeView& view, int dateColumn, const QStringList& dateSamples);

}  // namespace tarnwick
