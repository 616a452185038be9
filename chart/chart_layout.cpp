// The chart's geometry: margins scaled with the picture, columns, price and volume scales.
#include "chart/chart_layout.h"

#include <algorithm>
#include <cmath>

namespace tarnwick::chart {
namespace {

// Margins around the panes at 1200 x 700: the heading above, the price axis on the right, the
// time axis below.
constexpr double kLeft = 16;
constexpr double kRightAxis = 80;
constexpr double kTop = 64;
constexpr double kBottom = 30;
constexpr double kPaneGap = 10;
constexpr double kVolumeShare = 0.2;  // of the height below the heading

int Scaled(double length, double scale) {
    return std::max(1, static_cast<int>(std::lround(length * scale)));
}

}  // namespace

double ChartScale(QSize size) {
    const double s = std::min(size.width() / 1200.0, size.height() / 700.0);
    return std::clamp(s, 0.75, 6.0);
}

int PlotColumns(QSize size) {
    const double s = ChartScale(size);
    return std::max(1, size.width() - Scaled(kLeft, s) - Scaled(kRightAxis, s));
}

int PlotLeft(QSize size) {
    return Scaled(kLeft, ChartScale(size));
}

double MinCandleWidth(QSize size) {
    return 3 * std::max(1.0, ChartScale(size));
}

double ChartLayout::SlotWidth() const {
    return plot.width() / slotSpan;
}
double ChartLayout::SlotLeft(int k) const {
    return plot.left() + (k + firstSlot) * SlotWidth();
}
int ChartLayout::SlotCentre(int k) const {
    return static_cast<int>(std::floor(SlotLeft(k) + SlotWidth() / 2));
}
int ChartLayout::SlotAt(double x) const {
    return static_cast<int>(std::floor((x - plot.left()) / SlotWidth() - firstSlot));
}

int ChartLayout::PriceY(double price) const {
    double f = (price - prices.low) / (prices.high - prices.low);
    if (prices.log) {
        f = price > 0 ? std::log(price / prices.low) / std::log(prices.high / prices.low) : -1;
    }
    const double y = plot.bottom() + 1 - f * (plot.height());
    const double clamped = std::clamp(y, plot.top() - 1.0, plot.bottom() + 1.0);
    return std::clamp(static_cast<int>(std::floor(clamped)), plot.top(), plot.bottom());
}

double ChartLayout::PriceAt(int y) const {
    const double f = (plot.bottom() + 0.5 - y) / plot.height();
    if (prices.log) return prices.low * std::pow(prices.high / prices.low, f);
    return prices.low + f * (prices.high - prices.low);
}

int ChartLayout::VolumeY(double v) const {
    const double f = volumeMax > 0 ? std::clamp(v / volumeMax, 0.0, 1.0) : 0.0;
    const double y = volume.bottom() + 1 - f * volume.height();
    return std::clamp(static_cast<int>(std::floor(y)), volume.top(), volume.bottom());
}

double ChartLayout::VolumeAt(int y) const {
    return std::max(0.0, (volume.bottom() + 0.5 - y) / volume.height() * volumeMax);
}

int ChartLayout::Px(double length) const {
    return Scaled(length, scale);
}

ChartLayout LayoutChart(const ChartSeries& series, QSize size) {
    ChartLayout l;
    l.scale = ChartScale(size);
    l.slotSpan = series.slotSpan > 0
                     ? series.slotSpan
                     : std::max<double>(1, static_cast<double>(series.columns.size()));
    l.firstSlot = series.firstSlot;
    const int top = l.Px(kTop);
    const int below = std::max(l.Px(20), size.height() - top - l.Px(kBottom));
    int volumeHeight = 0;
    if (series.hasVolume) volumeHeight = static_cast<int>(below * kVolumeShare);
    const int priceHeight = below - (volumeHeight > 0 ? volumeHeight + l.Px(kPaneGap) : 0);
    l.plot = QRect(l.Px(kLeft), top, PlotColumns(size), priceHeight);
    if (volumeHeight > 0) {
        l.volume = QRect(l.plot.left(), l.plot.bottom() + 1 + l.Px(kPaneGap), l.plot.width(),
                         volumeHeight);
    }
    // The scales cover the columns that show, even in part.
    double lo = kNoValue, hi = kNoValue;
    for (size_t k = 0; k < series.columns.size(); ++k) {
        const ChartColumn& c = series.columns[k];
        const double left = l.SlotLeft(static_cast<int>(k));
        if (left >= l.plot.left() + l.plot.width() || left + l.SlotWidth() <= l.plot.left()) {
            continue;
        }
        if (c.HasPrice()) {
            lo = std::isnan(lo) ? c.low : std::min(lo, c.low);
            hi = std::isnan(hi) ? c.high : std::max(hi, c.high);
        }
        if (c.rows > 0 && c.volume > l.volumeMax) l.volumeMax = c.volume;
    }
    if (std::isnan(lo)) lo = hi = 0;
    // Grid lines as far apart as in a 1200 x 700 picture.
    l.prices = MakePriceScale(lo, hi, static_cast<int>(l.plot.height() / l.scale),
                              series.logScale && lo > 0);
    return l;
}

}  // namespace tarnwick::chart
