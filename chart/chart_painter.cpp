// The chart's drawing: heading, grid, price and time axes, candlesticks or line, volume pane.
#include "chart/chart_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <QPen>
#include <QString>
#include <algorithm>
#include <cmath>

namespace tarnwick::chart {
namespace {

// Margins around the panes: the heading above, the price axis on the right, the time axis below.
constexpr int kLeft = 16;
constexpr int kRightAxis = 80;
constexpr int kTop = 64;
constexpr int kBottom = 30;
constexpr int kPaneGap = 10;
constexpr double kVolumeShare = 0.2;  // of the height below the heading
constexpr int kWidestBody = 25;       // pixels; a few rows do not make slabs

QFont Font(int pixels, bool bold = false) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

bool Rising(const ChartColumn& c) {
    return c.close >= c.open;
}

// The body of slot k: its left pixel and width; one pixel when the slotCount are narrow.
struct Body {
    int left;
    int width;
};
Body BodyOf(const ChartLayout& l, int k) {
    const double w = l.SlotWidth();
    if (w < 3) {
        // Narrow slots cover their pixel columns without gaps.
        const int left = static_cast<int>(std::floor(l.SlotLeft(k)));
        const int right = static_cast<int>(std::floor(l.SlotLeft(k + 1)));
        return {left, std::max(1, right - left)};
    }
    int bw = std::clamp(static_cast<int>(w * 0.7), 1, kWidestBody);
    if (bw % 2 == 0) --bw;  // odd, so that the wick sits in the middle
    return {l.SlotCentre(k) - bw / 2, bw};
}

void FillColumn(QPainter& p, int x, int width, int top, int bottom, const QColor& c) {
    if (bottom < top) std::swap(top, bottom);
    p.fillRect(QRect(x, top, width, bottom - top + 1), c);
}

void DrawCandles(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    const bool thin = l.SlotWidth() < 3;
    for (int k = 0; k < l.slotCount; ++k) {
        const ChartColumn& c = s.columns[static_cast<size_t>(k)];
        if (!c.HasPrice()) continue;
        const bool up = Rising(c);
        const Body b = BodyOf(l, k);
        // Wick from high to low; a narrow column shows its range lighter than its body.
        if (thin) {
            FillColumn(p, b.left, b.width, l.PriceY(c.high), l.PriceY(c.low),
                       up ? colours::kUpLight : colours::kDownLight);
        } else {
            FillColumn(p, l.SlotCentre(k), 1, l.PriceY(c.high), l.PriceY(c.low),
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
    for (int k = 0; k < l.slotCount; ++k) {
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
    p.setPen(QPen(colours::kLine, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (path.elementCount() == 1) {
        p.setBrush(colours::kLine);
        p.drawEllipse(path.currentPosition(), 2.5, 2.5);  // a single point
    } else {
        p.drawPath(path);
    }
    p.restore();
}

void DrawVolume(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    if (!(l.volumeMax > 0)) return;
    const bool thin = l.SlotWidth() < 3;
    double previousClose = kNoValue;
    for (int k = 0; k < l.slotCount; ++k) {
        const ChartColumn& c = s.columns[static_cast<size_t>(k)];
        bool up = true;
        if (s.style == ChartStyle::Candles) {
            up = !c.HasPrice() || Rising(c);
        } else if (c.HasPrice()) {
            up = std::isnan(previousClose) || c.close >= previousClose;
            previousClose = c.close;
        }
        if (!(c.volume > 0) || c.rows == 0) continue;
        const Body b = BodyOf(l, k);
        // One-pixel columns in one calm tone; wider bars take their column's direction.
        const QColor& colour = thin ? colours::kVolume
                               : up ? colours::kUpLight
                                    : colours::kDownLight;
        FillColumn(p, b.left, b.width, l.VolumeY(c.volume), l.volume.bottom(), colour);
    }
}

void DrawHeading(QPainter& p, const ChartSeries& s, const ChartLayout& l, QSize size) {
    p.setPen(colours::kTitle);
    p.setFont(Font(18, true));
    p.drawText(QRectF(kLeft, 10, size.width() - 2 * kLeft, 26), Qt::AlignLeft | Qt::AlignVCenter,
               Q(s.title));
    p.setPen(colours::kText);
    p.setFont(Font(12));
    p.drawText(QRectF(kLeft, 36, size.width() - 2 * kLeft, 18), Qt::AlignLeft | Qt::AlignVCenter,
               Q(s.subtitle));

    // The last column's values, top right.
    auto last = std::find_if(s.columns.rbegin(), s.columns.rend(),
                             [](const ChartColumn& c) { return c.HasPrice(); });
    if (last == s.columns.rend()) return;
    QString values;
    if (s.style == ChartStyle::Candles) {
        values = QStringLiteral("O %1   H %2   L %3   C %4")
                     .arg(Q(PriceText(last->open)), Q(PriceText(last->high)),
                          Q(PriceText(last->low)), Q(PriceText(last->close)));
    } else {
        values = Q(s.priceLabel) + QStringLiteral("  ") + Q(PriceText(last->close));
    }
    if (s.hasVolume)
        values += QStringLiteral("   ") + Q(s.volumeLabel) + QStringLiteral(" ") +
                  Q(VolumeText(last->volume));
    const QRectF box(l.plot.left(), 36, l.plot.width(), 18);
    if (QFontMetricsF(p.font()).horizontalAdvance(values) +
            QFontMetricsF(p.font()).horizontalAdvance(Q(s.subtitle)) + 24 <
        box.width()) {
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, values);
    }
}

// The pixel row of the last close, where its tag goes; -1000 when there is none.
int LastCloseY(const ChartSeries& s, const ChartLayout& l) {
    auto last = std::find_if(s.columns.rbegin(), s.columns.rend(),
                             [](const ChartColumn& c) { return c.HasPrice(); });
    return last == s.columns.rend() ? -1000 : l.PriceY(last->close);
}

void DrawPriceAxis(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    const int tagY = LastCloseY(s, l);
    p.setFont(Font(11));
    const PriceScale& sc = l.prices;
    const double first = std::ceil(sc.low / sc.step);
    const double last = std::floor(sc.high / sc.step);
    for (double i = first; i <= last; i += 1) {
        const double v = i * sc.step;
        const int y = l.PriceY(v);
        p.fillRect(QRect(l.plot.left(), y, l.plot.width(), 1), colours::kGrid);
        if (y < l.plot.top() + 6 || y > l.plot.bottom() - 6 || std::abs(y - tagY) < 16) continue;
        p.setPen(colours::kText);
        p.drawText(QRectF(l.plot.right() + 8, y - 8, kRightAxis - 10, 16),
                   Qt::AlignLeft | Qt::AlignVCenter, Q(PriceText(v)));
    }
}

void DrawTimeGrid(QPainter& p, const ChartSeries& s, const ChartLayout& l,
                  const std::vector<TimeMark>& marks) {
    const int top = l.plot.top();
    const int bottom = l.volume.isEmpty() ? l.plot.bottom() : l.volume.bottom();
    // Thin breaks where a night was left out, when days are wide enough to tell apart.
    const auto breaks = DayBreaks(s.columns);
    if (!breaks.empty() && l.plot.width() / static_cast<double>(breaks.size() + 1) >= 12) {
        for (int k : breaks) {
            const int x = static_cast<int>(std::floor(l.SlotLeft(k)));
            for (int y = top; y <= bottom; y += 6) p.fillRect(QRect(x, y, 1, 3), colours::kGrid);
        }
    }
    for (const TimeMark& m : marks) {
        const int x = static_cast<int>(std::floor(l.SlotLeft(m.column)));
        p.fillRect(QRect(x, top, 1, bottom - top + 1), colours::kGrid);
    }
}

void DrawTimeLabels(QPainter& p, const ChartLayout& l, const std::vector<TimeMark>& marks,
                    QSize size) {
    const int bottom = l.volume.isEmpty() ? l.plot.bottom() : l.volume.bottom();
    double freeFrom = 0;
    for (const TimeMark& m : marks) {
        p.setFont(Font(11, m.major));
        p.setPen(m.major ? colours::kTitle : colours::kText);
        const QString text = Q(m.text);
        const double w = QFontMetricsF(p.font()).horizontalAdvance(text);
        const double x = std::clamp(l.SlotLeft(m.column) - w / 2, 2.0, size.width() - w - 2);
        if (x < freeFrom) continue;  // would overlap the previous label
        p.drawText(QRectF(x, bottom + 6, w + 1, 16), Qt::AlignLeft | Qt::AlignVCenter, text);
        freeFrom = x + w + 10;
    }
}

void DrawLastPrice(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    auto last = std::find_if(s.columns.rbegin(), s.columns.rend(),
                             [](const ChartColumn& c) { return c.HasPrice(); });
    if (last == s.columns.rend()) return;
    const QColor colour = s.style == ChartStyle::Line ? colours::kLine
                          : Rising(*last)             ? colours::kUp
                                                      : colours::kDown;
    const int y = l.PriceY(last->close);
    QColor faint = colour;
    faint.setAlpha(110);
    for (int x = l.plot.left(); x < l.plot.right(); x += 6) {
        p.fillRect(QRect(x, y, 3, 1), faint);
    }
    p.setFont(Font(11, true));
    const QString text = Q(PriceText(last->close));
    const double w = QFontMetricsF(p.font()).horizontalAdvance(text) + 10;
    const QRectF tag(l.plot.right() + 2, std::clamp(y - 9, l.plot.top(), l.plot.bottom() - 18), w,
                     18);
    p.fillRect(tag, colour);
    p.setPen(Qt::white);
    p.drawText(tag, Qt::AlignCenter, text);
}

void DrawFrame(QPainter& p, const ChartSeries& s, const ChartLayout& l) {
    p.fillRect(QRect(l.plot.left(), l.plot.bottom() + 1, l.plot.width() + 1, 1), colours::kAxis);
    p.fillRect(QRect(l.plot.right() + 1, l.plot.top(), 1, l.plot.height() + 1), colours::kAxis);
    if (l.volume.isEmpty()) return;
    p.fillRect(QRect(l.volume.left(), l.volume.bottom() + 1, l.volume.width() + 1, 1),
               colours::kAxis);
    p.fillRect(QRect(l.volume.right() + 1, l.volume.top(), 1, l.volume.height() + 1),
               colours::kAxis);
    p.setFont(Font(11));
    p.setPen(colours::kText);
    p.drawText(QRectF(l.volume.right() + 8, l.volume.top() - 2, kRightAxis - 10, 16),
               Qt::AlignLeft | Qt::AlignVCenter, Q(VolumeText(l.volumeMax)));
    const QString name = Q(s.volumeLabel);
    const QRectF box(l.volume.left() + 4, l.volume.top() + 2,
                     QFontMetricsF(p.font()).horizontalAdvance(name) + 8, 16);
    p.fillRect(box, colours::kPage);
    p.drawText(box, Qt::AlignCenter, name);
}

}  // namespace

double ChartLayout::SlotWidth() const {
    return plot.width() / static_cast<double>(slotCount);
}
double ChartLayout::SlotLeft(int k) const {
    return plot.left() + k * SlotWidth();
}
int ChartLayout::SlotCentre(int k) const {
    return static_cast<int>(std::floor(SlotLeft(k) + SlotWidth() / 2));
}

int ChartLayout::PriceY(double price) const {
    const double f = (price - prices.low) / (prices.high - prices.low);
    const double y = plot.bottom() + 1 - f * (plot.height());
    return std::clamp(static_cast<int>(std::floor(y)), plot.top(), plot.bottom());
}

int ChartLayout::VolumeY(double v) const {
    const double f = volumeMax > 0 ? std::clamp(v / volumeMax, 0.0, 1.0) : 0.0;
    const double y = volume.bottom() + 1 - f * volume.height();
    return std::clamp(static_cast<int>(std::floor(y)), volume.top(), volume.bottom());
}

int PlotColumns(int width) {
    return std::max(1, width - kLeft - kRightAxis);
}

ChartLayout LayoutChart(const ChartSeries& series, QSize size) {
    ChartLayout l;
    l.slotCount = std::max<int>(1, static_cast<int>(series.columns.size()));
    const int below = std::max(20, size.height() - kTop - kBottom);
    int volumeHeight = 0;
    if (series.hasVolume) volumeHeight = static_cast<int>(below * kVolumeShare);
    const int priceHeight = below - (volumeHeight > 0 ? volumeHeight + kPaneGap : 0);
    l.plot = QRect(kLeft, kTop, PlotColumns(size.width()), priceHeight);
    if (volumeHeight > 0) {
        l.volume = QRect(kLeft, l.plot.bottom() + 1 + kPaneGap, l.plot.width(), volumeHeight);
    }
    double lo = kNoValue, hi = kNoValue;
    for (const ChartColumn& c : series.columns) {
        if (c.HasPrice()) {
            lo = std::isnan(lo) ? c.low : std::min(lo, c.low);
            hi = std::isnan(hi) ? c.high : std::max(hi, c.high);
        }
        if (c.rows > 0 && c.volume > l.volumeMax) l.volumeMax = c.volume;
    }
    if (std::isnan(lo)) lo = hi = 0;
    l.prices = MakePriceScale(lo, hi, l.plot.height());
    return l;
}

void PaintChart(QPainter& p, const ChartSeries& s, QSize size) {
    const ChartLayout l = LayoutChart(s, size);
    p.fillRect(QRect(QPoint(0, 0), size), colours::kPage);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const auto marks = MakeTimeMarks(s.columns, l.SlotWidth(), 84);
    DrawHeading(p, s, l, size);
    DrawPriceAxis(p, s, l);
    DrawTimeGrid(p, s, l, marks);
    if (!l.volume.isEmpty() && s.columns.size() == static_cast<size_t>(l.slotCount)) {
        DrawVolume(p, s, l);
    }
    if (s.columns.size() == static_cast<size_t>(l.slotCount)) {
        p.save();
        p.setClipRect(l.plot);
        if (s.style == ChartStyle::Candles) {
            DrawCandles(p, s, l);
        } else {
            DrawLine(p, s, l);
        }
        p.restore();
    }
    DrawFrame(p, s, l);
    DrawTimeLabels(p, l, marks, size);
    DrawLastPrice(p, s, l);
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
