#pragma once
// ListView1: a report-style tree view that announces key and mouse-button releases after it has
// handled them itself, so that whoever listens sees the selection the release left behind (in
// extended selection a click on a selected row changes the selection on release).
#include <QTreeView>

namespace tarnwick {

class TickerListView final : public QTreeView {
    Q_OBJECT
  public:
    explicit TickerListView(QWidget* parent = nullptr);

  signals:
    void keyReleased();
    void mouseReleased();

  protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace tarnwick
