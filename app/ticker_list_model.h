#pragma once
// The list view's model: a window onto the core's TickerList. It keeps no copy of the rows; it
// follows every change through TickerListObserver and translates it into Qt's model signals.
#include <QAbstractTableModel>

#include "tickers/ticker_list.h"

namespace tarnwick {

class TickerListModel final : public QAbstractTableModel, private TickerListObserver {
    Q_OBJECT
  public:
    explicit TickerListModel(TickerList& list, QObject* parent = nullptr);
    ~TickerListModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // True between a core change's "about to" notice and its completion: selection changes that
    // the view reports meanwhile describe rows in motion, not the user's choice.
    bool InCoreChange() const { return coreChange_ > 0; }

    TickerList& List() { return list_; }

    // Column captions and widths in pixels, in column order.
    static const char* ColumnCaption(int column);
    static int ColumnWidthPixels(int column);

  private:
    void EntryAboutToBeInserted(int row) override;
    void EntryInserted(int row) override;
    void EntryAboutToBeRemoved(int row) override;
    void EntryRemoved(int row) override;
    void EntryFieldChanged(int row, int column) override;
    void OrderAboutToChange() override;
    void OrderChanged(const std::vector<int>& newRowOf) override;

    TickerList& list_;
    int coreChange_ = 0;
};

}  // namespace tarnwick
