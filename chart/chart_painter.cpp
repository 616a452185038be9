// The chart's drawing: heading, grid, price and time axes, candlesticks or line, volume pane.
#include "chart/chart_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>

#include "chart/chart_paint_parts.h"

namespace tarnwick::chart {
namespace {

constexpr double kWidestBody = 25;  // pixels at 1200 x 700; a few rows do not make slabs

bool Rising(const ChartColumn& c) {
    return c.close >= c.open;
}

// The body of column k: its left pixel and width. Columns under 1.5 pixels cover their pixel
// columns without gaps; up to 3 pixels they leave one pixel free, so that bars of the same
// height stay apart; wider ones leave a gap and have the wick's parity, so that the wick sits
// in the middle.
struct Body {
    int left;
    int width;
};
Body BodyOf(const ChartLayout& l, int k) {
    const double w = l.SlotWidth();
    if (w < 3) {
        const int left = static_cast<int>(std::floor(l.SlotLeft(k)));
        const int right = static_cast<int>(std::floor(l.SlotLeft(k + 1)));
        return {left, std::max(1, right - left - (w >= 1.5 ? 1 : 0))};
    }
    const int wick = l.Px(1);
    int bw = std::clamp(static_cast<int>(w * 0.7), 1, l.Px(kWidestBody));
    if (bw < 3 && w >= 3.5) bw = 3;  // three pixels still show a body beside its wick
    if (bw % 2 != wick % 2) --bw;
    bw = std::max(bw, wick);
    return {l.SlotCentre(k) - bw / 2, bw};
}

void FillColumn(QPainter& p, int x, int width, int top, int bottom, const QColor& c) {
    if (bottom < top) std::swap(top, bottom);
    p.fillRect(QRect(x, top, width, bottom - top + 1), c);
}

// The range of columns that show in the plot, even in part.
struct Shown {
    int first;
    int end;
};
Shown ShownColumns(const ChartSeries& s, const ChartLayout& l) {
    const int count = static_cast<int>(s.columns.size());
    const int first = std::clamp(l.SlotAt(l.plot.left()), 0, count);
    const int end = std::clamp(l.SlotAt(l.plot.left() + l.plot.width()) + 1, first, count);
    return {first, end};
}

void DrawCandles(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    const bool thin = l.SlotWidth() < 3;
    const int wick = l.Px(1);
    const Shown shown = ShownColumns(s, l);
    for (int k = shown.first; k < shown.end; ++k) {
        const ChartColumn& c = s.columns[static_cast<size_t>(k)];
        if (!c.HasPrice()) continue;
        const bool up = Rising(c);
        const Body b = BodyOf(l, k);
        // Wick from high to low; a narrow column shows its range lighter than its body.
        if (thin) {
            FillColumn(p, b.left, b.width, l.PriceY(c.high), l.PriceY(c.low),
                       up ? colours::kUpLight : colours::kDownLight);
        } else {
            FillColumn(p, l.SlotCentre(k) - wick / 2, wick, l.PriceY(c.high), l.PriceY(c.low),
                       up ? colours::kUp : colours::kDown);
        }
        FillColumn(p, b.left, b.width, l.PriceY(std::max(c.open, c.close)),
                   l.PriceY(std::min(c.open, c.close)), up ? colours::kUp : colours::kDown);
    }
}

void DrawLine(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    // The range of each column under the line, then the closes joined.
    QPainterPath path;
    bool started = false;
    const Shown shown = ShownColumns(s, l);
    // One column beyond each edge, so that the line runs on out of the plot.
    for (int k = std::max(0, shown.first - 1);
         k < std::min<int>(shown.end + 1, static_cast<int>(s.columns.size())); ++k) {
        const ChartColumn& c = s.columns[static_cast<size_t>(k)];
        if (!c.HasPrice()) continue;
        if (c.high > c.low) {
            const Body b = BodyOf(l, k);
            FillColumn(p, b.left, b.width, l.PriceY(c.high), l.PriceY(c.low), colours::kBand);
        }
        const QPointF point(l.SlotLeft(k) + l.SlotWidth() / 2, l.PriceY(c.close) + 0.5);
        if (started) {
            path.lineTo(point);
        } else {
            path.moveTo(point);
            started = true;
        }
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colours::kLine, 1.6 * l.scale, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (path.elementCount() == 1) {
        p.setBrush(colours::kLine);
        p.drawEllipse(path.currentPosition(), 2.5 * l.scale, 2.5 * l.scale);  // a single point
    } else if (started) {
        p.drawPath(path);
    }
    p.restore();
}

void DrawVolume(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    if (!(l.volumeMax > 0)) return;
    const bool thin = l.SlotWidth() < 3;
    const Shown shown = ShownColumns(s, l);
    double previousClose = kNoValue;
    for (int k = std::max(0, shown.first - 1); k < shown.end; ++k) {
        const ChartColumn& c = s.columns[static_cast<size_t>(k)];
        bool up = true;
        if (s.style == ChartStyle::Candles) {
            up = !c.HasPrice() || Rising(c);
        } else if (c.HasPrice()) {
            up = std::isnan(previousClose) || c.close >= previousClose;
            previousClose = c.close;
        }
        if (!(c.volume > 0) || c.rows == 0 || k < shown.first) continue;
        const Body b = BodyOf(l, k);
        // One-pixel columns in one calm tone; wider bars take their column's direction.
        const QColor& colour = thin ? colours::kVolume
                               : up ? colours::kUpLight
                                    : colours::kDownLight;
        FillColumn(p, b.left, b.width, l.VolumeY(c.volume), l.volume.bottom(), colour);
    }
}

void DrawPriceAxis(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    const std::optional<ChartColumn> newest = Newest(s);
    const int tagY = newest ? l.PriceY(newest->close) : -1000;
    p.setFont(ChartFont(l, 11));
    const int half = l.Px(8);
    int freeAbove = l.plot.bottom() + l.Px(100);  // labels go bottom up, none over another
    for (const double v : l.prices.lines) {
        const int y = l.PriceY(v);
        if (y <= l.plot.top() || y >= l.plot.bottom()) continue;
        p.fillRect(QRect(l.plot.left(), y, l.plot.width(), l.Px(1)), colours::kGrid);
        if (y < l.plot.top() + l.Px(6) || y > l.plot.bottom() - l.Px(6) ||
            std::abs(y - tagY) < l.Px(16) || y + half > freeAbove) {
            continue;
        }
        p.setPen(colours::kText);
        p.drawText(QRectF(l.plot.right() + l.Px(8), y - half, l.Px(70), 2 * half),
                   Qt::AlignLeft | Qt::AlignVCenter, Q(PriceText(v)));
        freeAbove = y - half - l.Px(2);
    }
}

void DrawTimeGrid(QPainter& p, const ChartSeries& s, const ChartLayout& l,
                  const std::vector<TimeMark>& marks) {
    const int top = l.plot.top();
    const int bottom = l.volume.isEmpty() ? l.plot.bottom() : l.volume.bottom();
    const auto inPlot = [&](int x) { return x >= l.plot.left() && x <= l.plot.right(); };
    // Thin breaks where a night was left out, when days are wide enough to tell apart.
    const bool daily = s.period && *s.period >= Period::Day1;
    const auto breaks = daily ? std::vector<int>{} : DayBreaks(s.columns);
    if (!breaks.empty() && l.SlotWidth() * static_cast<double>(s.columns.size()) /
                                   static_cast<double>(breaks.size() + 1) >=
                               12 * l.scale) {
        for (int k : breaks) {
            const int x = static_cast<int>(std::floor(l.SlotLeft(k)));
            if (!inPlot(x)) continue;
            for (int y = top; y <= bottom; y += l.Px(6)) {
                p.fillRect(QRect(x, y, l.Px(1), l.Px(3)), colours::kGrid);
            }
        }
    }
    for (const TimeMark& m : marks) {
        const int x = static_cast<int>(std::floor(l.SlotLeft(m.column)));
        if (inPlot(x)) p.fillRect(QRect(x, top, l.Px(1), bottom - top + 1), colours::kGrid);
    }
}

void DrawTimeLabels(QPainter& p, const ChartLayout& l, const std::vector<TimeMark>& marks,
                    QSize size) {
    const int bottom = l.volume.isEmpty() ? l.plot.bottom() : l.volume.bottom();
    double freeFrom = 0;
    for (const TimeMark& m : marks) {
        const double at = l.SlotLeft(m.column);
        if (at < l.plot.left() || at > l.plot.right()) continue;
        p.setFont(ChartFont(l, 11, m.major));
        p.setPen(m.major ? colours::kTitle : colours::kText);
        const QString text = Q(m.text);
        const double w = QFontMetricsF(p.font()).horizontalAdvance(text);
        const double x = std::clamp(at - w / 2, 2.0, size.width() - w - 2);
        if (x < freeFrom) continue;  // would overlap the previous label
        p.drawText(QRectF(x, bottom + l.Px(6), w + 1, l.Px(16)), Qt::AlignLeft | Qt::AlignVCenter,
                   text);
        freeFrom = x + w + l.Px(10);
    }
}

void DrawLastPrice(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    const std::optional<ChartColumn> newest = Newest(s);
    if (!newest) return;
    const QColor colour = s.style == ChartStyle::Line ? colours::kLine
                          : Rising(*newest)           ? colours::kUp
                                                      : colours::kDown;
    const int y = l.PriceY(newest->close);
    QColor faint = colour;
    faint.setAlpha(110);
    for (int x = l.plot.left(); x < l.plot.right(); x += l.Px(6)) {
        p.fillRect(QRect(x, y, l.Px(3), l.Px(1)), faint);
    }
    DrawAxisTag(p, l, y, Q(PriceText(newest->close)), colour);
}

void DrawFrame(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    const int w = l.Px(1);
    p.fillRect(QRect(l.plot.left(), l.plot.bottom() + 1, l.plot.width() + w, w), colours::kAxis);
    p.fillRect(QRect(l.plot.right() + 1, l.plot.top(), w, l.plot.height() + w), colours::kAxis);
    if (l.volume.isEmpty()) return;
    p.fillRect(QRect(l.volume.left(), l.volume.bottom() + 1, l.volume.width() + w, w),
               colours::kAxis);
    p.fillRect(QRect(l.volume.right() + 1, l.volume.top(), w, l.volume.height() + w),
               colours::kAxis);
    p.setFont(ChartFont(l, 11));
    p.setPen(colours::kText);
    p.drawText(QRectF(l.volume.right() + l.Px(8), l.volume.top() - l.Px(2), l.Px(70), l.Px(16)),
               Qt::AlignLeft | Qt::AlignVCenter, Q(VolumeText(l.volumeMax)));
    const QString name = Q(s.volumeLabel);
    const QRectF box(l.volume.left(), l.volume.top(),
                     QFontMetricsF(p.font()).horizontalAdvance(name) + l.Px(12), l.Px(18));
    if (box.height() < l.volume.height()) {
        p.fillRect(box, colours::kPage);
        p.drawText(box, Qt::AlignCenter, name);
    }
}

}  // namespace

void PaintChart(QPainter& p, const ChartSeries& s, QSize size, std::optional<QPoint> pointer) {
    const ChartLayout l = LayoutChart(s, size);
    p.fillRect(QRect(QPoint(0, 0), size), colours::kPage);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const auto marks = MakeTimeMarks(s.columns, l.SlotWidth(), 84 * l.scale, s.period);
    const std::optional<int> hovered = pointer ? HoveredColumn(s, l, *pointer) : std::nullopt;
    DrawHeading(p, s, l, size, hovered);
    DrawPriceAxis(p, s, l);
    DrawTimeGrid(p, s, l, marks);
    p.save();
    if (!l.volume.isEmpty()) {
        p.setClipRect(l.volume);
        DrawVolume(p, s, l);
    }
    p.setClipRect(l.plot);
    if (s.style == ChartStyle::Candles) {
        DrawCandles(p, s, l);
    } else {
        DrawLine(p, s, l);
    }
    p.restore();
    DrawFrame(p, s, l);
    DrawTimeLabels(p, l, marks, size);
    DrawLastPrice(p, s, l);
    if (pointer) DrawCrosshair(p, s, l, *pointer, hovered);
}

QImage ChartImage(const ChartSeries& series, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colours::kPage);
    QPainter p(&image);
    PaintChart(p, series, size);
    p.end();
    return image;
}

}  // namespace tarnwick::chart
