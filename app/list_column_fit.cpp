#include "app/list_column_fit.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QTreeView>
#include <algorithm>

namespace tarnwick {

int HeaderWidthFor(const QTreeView& view, const QString& caption) {
    const QHeaderView* header = view.header();
    // The style's own label area for a section that shows the sort arrow, measured on a trial
    // width: what that area lacks of the full width is the section's overhead.
    QStyleOptionHeader option;
    option.initFrom(header);
    option.state |= QStyle::State_Horizontal;
    option.orientation = Qt::Horizontal;
    option.sortIndicator = QStyleOptionHeader::SortDown;
    const int trial = 1000;
    option.rect = QRect(0, 0, trial, std::max(header->sizeHint().height(), 1));
    const QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
    const int overhead = trial - label.width();
    return header->fontMetrics().horizontalAdvance(caption) + overhead;
}

int CellWidthFor(const QTreeView& view, const QString& text) {
    // An item view cell keeps the focus frame's margin plus one pixel free on either side.
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return view.fontMetrics().horizontalAdvance(text) + 2 * margin;
}

void FitListColumns(QTreeView& view, int dateColumn, const QStringList& dateSamples) {
    const QAbstractItemModel* model = view.model();
    if (model == nullptr) return;
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString caption = model->headerData(column, Qt::Horizontal).toString();
        int need = HeaderWidthFor(view, caption);
        if (column == dateColumn) {
            for (const QString& date : dateSamples) need = std::max(need, CellWidthFor(view, date));
        }
        if (need > view.columnWidth(column)) view.setColumnWidth(column, need);
    }
}

}  // namespace tarnwick
