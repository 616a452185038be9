// Painting the chart in the window and the mouse's zoom, pan and crosshair.
#include "chart/chart_canvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "chart/chart_layout.h"
#include "chart/chart_painter.h"
#include "chart/chart_scale.h"

namespace tarnwick::chart {

ChartCanvas::ChartCanvas(ChartViewport& viewport, const ChartWindowSetup& setup, QWidget* parent)
    : QWidget(parent), viewport_(viewport), setup_(setup) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    setMinimumSize(kMinWidth, kMinHeight);
}

void ChartCanvas::ShowLoading(double progress) {
    loaded_ = false;
    progress_ = progress;
    update();
}

void ChartCanvas::ShowChart() {
    loaded_ = true;
    viewport_.SetRoom(PlotColumns(size()), MinCandleWidth(size()));
    viewport_.Update();  // a table read again after a new set-up shows whole
    ViewChanged();
}

ChartSeries ChartCanvas::Series() {
    bool logRefused = false;
    ChartSeries s = viewport_.Series(setup_.base, &logRefused);
    const Period p = viewport_.Shown();
    const std::string dot = "  \u00b7  ";
    std::string period = std::string(PeriodWords(p)) + " candles";
    if (!viewport_.Chosen()) period += " (chosen to fit)";
    std::string span;
    if (!s.columns.empty()) {
        span = PeriodStartText(s.columns.front().firstTime, p) + "  to  " +
               PeriodStartText(s.columns.back().firstTime, p) + dot;
    }
    const std::string note = logRefused ? dot + "linear: prices at or below 0 in view" : "";
    s.subtitle = span + period + note;
    s.shortSubtitles = {std::string(PeriodWords(p)) + " candles" + note, PeriodName(p)};
    return s;
}

void ChartCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!loaded_) {
        p.fillRect(rect(), colours::kPage);
        p.setPen(colours::kText);
        p.drawText(rect(), Qt::AlignCenter,
                   QStringLiteral("Reading %1: %2 %")
                       .arg(QString::fromStdString(setup_.name))
                       .arg(static_cast<int>(progress_ * 100)));
        return;
    }
    PaintChart(p, Series(), size(), pointer_);
}

void ChartCanvas::resizeEvent(QResizeEvent*) {
    if (loaded_) viewport_.SetRoom(PlotColumns(size()), MinCandleWidth(size()));
}

void ChartCanvas::wheelEvent(QWheelEvent* event) {
    if (!loaded_) return;
    // One notch (120) zooms by a fifth; the candle under the pointer stays under it.
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    const double x = event->position().x() - PlotLeft(size());
    viewport_.Zoom(std::pow(1.2, notches), x);
    pointer_ = event->position().toPoint();
    ViewChanged();
    event->accept();
}

void ChartCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragX_ = static_cast<int>(event->position().x());
        setCursor(Qt::ClosedHandCursor);
    }
}

void ChartCanvas::mouseMoveEvent(QMouseEvent* event) {
    pointer_ = event->position().toPoint();
    if (dragX_ && loaded_) {
        viewport_.Pan(pointer_->x() - *dragX_);
        dragX_ = pointer_->x();
        ViewChanged();
    } else {
        update();
    }
}

void ChartCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragX_.reset();
        setCursor(Qt::CrossCursor);
    }
}

void ChartCanvas::leaveEvent(QEvent*) {
    pointer_.reset();
    update();
}

void ChartCanvas::ViewChanged() {
    update();
    if (viewChanged_) viewChanged_();
}

}  // namespace tarnwick::chart
