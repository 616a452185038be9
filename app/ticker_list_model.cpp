#include "app/ticker_list_model.h"

namespace tarnwick {

namespace {

struct ColumnInfo {
    const char* caption;
    int widthPixels;
};

// Header captions and widths (750, 1500, 2000, 750 and 750 twips).
constexpr ColumnInfo Columns[5] = {
    {"Symbol", 50},     {"Description", 100}, {"Category", 133},
    {"Start Date", 50}, {"Bar Interval", 50},
};

}  // namespace

TickerListModel::TickerListModel(TickerList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    list_.SetObserver(this);
}

TickerListModel::~TickerListModel() {
    list_.SetObserver(nullptr);
}

const char* TickerListModel::ColumnCaption(int column) {
    return Columns[column - 1].caption;
}

int TickerListModel::ColumnWidthPixels(int column) {
    return Columns[column - 1].widthPixels;
}

int TickerListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.EntryCount();
}

int TickerListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 5;
}

QVariant TickerListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || role != Qt::DisplayRole) return {};
    const int row = index.row() + 1;
    if (row > list_.EntryCount() || index.column() < 0 || index.column() >= 5) return {};
    return QString::fromStdString(list_.EntryAt(row).field(index.column() + 1));
}

QVariant TickerListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= 5) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(Columns[section].caption);
    return {};
}

Qt::ItemFlags TickerListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TickerListModel::EntryAboutToBeInserted(int row) {
    ++coreChange_;
    beginInsertRows(QModelIndex(), row - 1, row - 1);
}

void TickerListModel::EntryInserted(int /*row*/) {
    endInsertRows();
    --coreChange_;
}

void TickerListModel::EntryAboutToBeRemoved(int row) {
    ++coreChange_;
    beginRemoveRows(QModelIndex(), row - 1, row - 1);
}

void TickerListModel::EntryRemoved(int /*row*/) {
    endRemoveRows();
    --coreChange_;
}

void TickerListModel::EntryFieldChanged(int row, int column) {
    const QModelIndex changed = index(row - 1, column - 1);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
}

void TickerListModel::OrderAboutToChange() {
    ++coreChange_;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TickerListModel::OrderChanged(const std::vector<int>& newRowOf) {
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from) {
        const int oldRow = old.row();
        if (oldRow >= 0 && static_cast<std::size_t>(oldRow) < newRowOf.size())
            to.append(index(newRowOf[static_cast<std::size_t>(oldRow)] - 1, old.column()));
        else
            to.append(QModelIndex());
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    --coreChange_;
}

}  // namespace tarnwick
