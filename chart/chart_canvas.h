#pragma once
// The chart window's drawing area: paints the candles in view through PaintChart (the pictures'
// own painting) and turns the wheel, drags and the pointer into zoom, pan and the crosshair.
#include <QPoint>
#include <QWidget>
#include <functional>
#include <optional>

#include "chart/chart_window.h"

namespace tarnwick::chart {

class ChartCanvas : public QWidget {
  public:
    ChartCanvas(ChartViewport& viewport, const ChartWindowSetup& setup, QWidget* parent);

    // While the table is first read: the share read so far, shown instead of the chart.
    void ShowLoading(double progress);
    // The table is read: the chart shows, the whole table at first.
    void ShowChart();
    bool Loaded() const { return loaded_; }
    // Called after every zoom or pan.
    void OnViewChanged(std::function<void()> callback) { viewChanged_ = std::move(callback); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    ChartSeries Series();
    void ViewChanged();

    ChartViewport& viewport_;
    const ChartWindowSetup& setup_;
    bool loaded_ = false;
    double progress_ = 0;
    std::optional<QPoint> pointer_;
    std::optional<int> dragX_;
    std::function<void()> viewChanged_;
};

}  // namespace tarnwick::chart
