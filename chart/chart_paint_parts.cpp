// The heading, the axis tags and the crosshair.
#include "chart/chart_paint_parts.h"

#include <QFontMetricsF>
#include <QPen>
#include <algorithm>
#include <cmath>

#include "chart/chart_painter.h"
#include "dates/classic_date.h"

namespace tarnwick::chart {
namespace {

// The values of a column as the heading shows them.
QString ValuesText(const ChartSeries& s, const ChartColumn& c) {
    QString values;
    if (!c.HasPrice()) {
        values = QStringLiteral("no price");
    } else if (s.style == ChartStyle::Candles) {
        values = QStringLiteral("O %1   H %2   L %3   C %4")
                     .arg(Q(PriceText(c.open)), Q(PriceText(c.high)), Q(PriceText(c.low)),
                          Q(PriceText(c.close)));
    } else {
        values = Q(s.priceLabel) + QStringLiteral("  ") + Q(PriceText(c.close));
    }
    if (s.hasVolume) {
        values += QStringLiteral("   ") + Q(s.volumeLabel) + QStringLiteral(" ") +
                  Q(VolumeText(c.volume));
    }
    return values;
}

// The date/time a column begins at: its period's start for candles, else its first row's time
// (with seconds when it has them).
QString ColumnTimeText(const ChartSeries& s, const ChartColumn& c) {
    if (s.period) return Q(PeriodStartText(c.firstTime, *s.period));
    const std::optional<int64_t> ms = MsFromClassic(c.firstTime);
    return Q(DateTimeText(c.firstTime, ms && *ms % 60000 != 0));
}

// A filled box with white text centred in it.
void DrawTag(QPainter& p, const QRectF& box, const QString& text, const QColor& colour) {
    p.fillRect(box, colour);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

QFont ChartFont(const ChartLayout& l, double pixels, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels * l.scale))));
    f.setBold(bold);
    return f;
}

std::optional<ChartColumn> Newest(const ChartSeries& s) {
    if (s.latest && s.latest->HasPrice()) return s.latest;
    auto last = std::find_if(s.columns.rbegin(), s.columns.rend(),
                             [](const ChartColumn& c) { return c.HasPrice(); });
    if (last == s.columns.rend()) return std::nullopt;
    return *last;
}

std::optional<int> HoveredColumn(const ChartSeries& s, const ChartLayout& l, QPoint pointer) {
    if (!l.plot.contains(pointer) && !l.volume.contains(pointer)) return std::nullopt;
    const int k = l.SlotAt(pointer.x() + 0.5);
    if (k < 0 || k >= static_cast<int>(s.columns.size())) return std::nullopt;
    if (s.columns[static_cast<size_t>(k)].rows == 0) return std::nullopt;
    return k;
}

QString FittingSubtitle(const ChartSeries& s, const ChartLayout& l, double width) {
    const QFontMetricsF metrics(ChartFont(l, 12));
    QString subtitle = Q(s.subtitle);
    for (size_t i = 0; metrics.horizontalAdvance(subtitle) > width; ++i) {
        if (i == s.shortSubtitles.size()) {
            return metrics.elidedText(subtitle, Qt::ElideRight, width);
        }
        subtitle = Q(s.shortSubtitles[i]);
    }
    return subtitle;
}

void DrawHeading(QPainter& p, const ChartSeries& s, const ChartLayout& l, QSize size,
                 std::optional<int> hovered) {
    const double left = l.plot.left();
    const double width = size.width() - 2 * left;
    p.setPen(colours::kTitle);
    p.setFont(ChartFont(l, 18, true));
    const QString title = QFontMetricsF(p.font()).elidedText(Q(s.title), Qt::ElideRight, width);
    p.drawText(QRectF(left, l.Px(10), width, l.Px(26)), Qt::AlignLeft | Qt::AlignVCenter, title);

    p.setPen(colours::kText);
    p.setFont(ChartFont(l, 12));
    const QFontMetricsF metrics(p.font());
    const QString subtitle = FittingSubtitle(s, l, width);

    // The hovered column's values, else the newest ones, top right; a hovered column's take
    // the subtitle's place when both do not fit.
    std::optional<ChartColumn> shown = Newest(s);
    if (hovered) shown = s.columns[static_cast<size_t>(*hovered)];
    const QRectF line(left, l.Px(36), width, l.Px(18));
    const QRectF box(l.plot.left(), l.Px(36), l.plot.width(), l.Px(18));
    QString values = shown ? ValuesText(s, *shown) : QString();
    const double valuesWidth = metrics.horizontalAdvance(values);
    const bool both = metrics.horizontalAdvance(subtitle) + valuesWidth + l.Px(24) < box.width();
    if (both || !hovered) p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, subtitle);
    if (both) {
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, values);
    } else if (hovered) {
        p.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                   metrics.elidedText(values, Qt::ElideRight, width));
    }
}

void DrawAxisTag(QPainter& p, const ChartLayout& l, int y, const QString& text,
                 const QColor& colour) {
    p.setFont(ChartFont(l, 11, true));
    const double w = QFontMetricsF(p.font()).horizontalAdvance(text) + l.Px(10);
    const int h = l.Px(18);
    const QRectF tag(l.plot.right() + l.Px(2),
                     std::clamp(y - h / 2, l.plot.top(), l.plot.bottom() - h), w, h);
    DrawTag(p, tag, text, colour);
}

void DrawCrosshair(QPainter& p, const ChartSeries& s, const ChartLayout& l, QPoint pointer,
                   std::optional<int> hovered) {
    const bool inPlot = l.plot.contains(pointer);
    const bool inVolume = l.volume.contains(pointer);
    if (!inPlot && !inVolume) return;
    p.save();
    QPen pen(colours::kCrosshair, l.Px(1), Qt::DashLine);
    p.setPen(pen);
    const int x = hovered ? l.SlotCentre(*hovered) : pointer.x();
    const int bottom = l.volume.isEmpty() ? l.plot.bottom() : l.volume.bottom();
    p.drawLine(QPointF(x + 0.5, l.plot.top()), QPointF(x + 0.5, bottom));
    const QRect& pane = inPlot ? l.plot : l.volume;
    p.drawLine(QPointF(pane.left(), pointer.y() + 0.5), QPointF(pane.right(), pointer.y() + 0.5));
    p.restore();

    if (inPlot) {
        DrawAxisTag(p, l, pointer.y(), Q(PriceText(l.PriceAt(pointer.y()))), colours::kCrosshair);
    } else {
        p.setFont(ChartFont(l, 11, true));
        const QString text = Q(VolumeText(l.VolumeAt(pointer.y())));
        const int h = l.Px(18);
        const QRectF tag(l.volume.right() + l.Px(2),
                         std::clamp(pointer.y() - h / 2, l.volume.top(), l.volume.bottom() - h),
                         QFontMetricsF(p.font()).horizontalAdvance(text) + l.Px(10), h);
        DrawTag(p, tag, text, colours::kCrosshair);
    }
    if (!hovered) return;
    p.setFont(ChartFont(l, 11, true));
    const QString when = ColumnTimeText(s, s.columns[static_cast<size_t>(*hovered)]);
    const double w = QFontMetricsF(p.font()).horizontalAdvance(when) + l.Px(12);
    const double left = std::clamp(x - w / 2, 0.0, l.plot.right() - w);
    DrawTag(p, QRectF(left, bottom + l.Px(4), w, l.Px(20)), when, colours::kCrosshair);
}

}  // namespace tarnwick::chart
