// Zoom, pan, the period in view and the candles handed to the painter.
#include "chart/chart_viewport.h"

#include <algorithm>
#include <cmath>

namespace tarnwick::chart {

ChartViewport::ChartViewport(Timeline& timeline, RowSource& source, Period finest)
    : timeline_(timeline), source_(source), finest_(finest), period_(finest) {}

double ChartViewport::MinWidth() const {
    // A chosen period, or the coarsest, may shrink to a pixel a candle; the default choice moves
    // to a coarser period before its candles get narrower than minCandle_.
    return chosen_ || period_ == Period::Month1 ? 1.0 : minCandle_;
}

double ChartViewport::MaxWidth() const {
    return std::max(60.0, minCandle_ * 20);
}

ChartViewport::Ends ChartViewport::EndsOf(Period p) {
    Ends e;
    e.count = timeline_.CandleCount(p);
    e.nominal = PeriodMinutes(p) * 60'000;
    if (e.count > 0) {
        e.first = static_cast<double>(timeline_.StartOf(p, 0));
        e.end = static_cast<double>(timeline_.StartOf(p, e.count - 1)) + e.nominal;
    }
    return e;
}

double ChartViewport::PosOf(Period p, double ms) {
    const Ends e = EndsOf(p);
    if (e.count == 0) return 0;
    if (ms < e.first) return (ms - e.first) / e.nominal;
    if (ms >= e.end) return static_cast<double>(e.count) + (ms - e.end) / e.nominal;
    const int64_t k = std::max<int64_t>(0, timeline_.IndexAt(p, static_cast<int64_t>(ms)));
    const auto start = static_cast<double>(timeline_.StartOf(p, k));
    const double next = k + 1 < e.count ? static_cast<double>(timeline_.StartOf(p, k + 1)) : e.end;
    return static_cast<double>(k) + std::clamp((ms - start) / (next - start), 0.0, 1.0);
}

double ChartViewport::TimeOf(Period p, double pos) {
    const Ends e = EndsOf(p);
    if (e.count == 0) return 0;
    const auto count = static_cast<double>(e.count);
    if (pos < 0) return e.first + pos * e.nominal;
    if (pos >= count) return e.end + (pos - count) * e.nominal;
    const auto k = static_cast<int64_t>(std::floor(pos));
    const auto start = static_cast<double>(timeline_.StartOf(p, k));
    const double next = k + 1 < e.count ? static_cast<double>(timeline_.StartOf(p, k + 1)) : e.end;
    return start + (pos - static_cast<double>(k)) * (next - start);
}

void ChartViewport::SetRoom(int plotWidth, double minCandle) {
    const bool first = plotWidth_ == 0;
    plotWidth_ = std::max(1, plotWidth);
    minCandle_ = minCandle;
    if (first) {
        ShowAll();
    } else {
        Settle();
    }
}

void ChartViewport::ShowAll() {
    period_ = chosen_.value_or(Period::Month1);
    if (!chosen_) {
        for (Period p : kPeriods) {
            if (p >= finest_ && timeline_.CandleCount(p) <= plotWidth_ / minCandle_) {
                period_ = p;
                break;
            }
        }
    }
    known_ = timeline_.CandleCount(period_);
    width_ = plotWidth_ / static_cast<double>(std::max<int64_t>(1, known_));
    right_ = static_cast<double>(known_);
    Settle();
}

Period ChartViewport::FittingPeriod(double fromMs, double toMs, double most) {
    for (Period p : kPeriods) {
        if (p >= finest_ && PosOf(p, toMs) - PosOf(p, fromMs) <= most) return p;
    }
    return Period::Month1;
}

void ChartViewport::Reframe(Period p, double fromMs, double toMs, double anchorMs, double x) {
    period_ = p;
    known_ = timeline_.CandleCount(p);
    const double span = std::max(PosOf(p, toMs) - PosOf(p, fromMs), 1e-6);
    width_ = std::clamp(plotWidth_ / span, MinWidth(), MaxWidth());
    right_ = PosOf(p, anchorMs) + (plotWidth_ - x) / width_;
    Settle();
}

void ChartViewport::Zoom(double factor, double x) {
    if (!(factor > 0) || known_ == 0) return;
    const double u = right_ - (plotWidth_ - x) / width_;  // the position under the pointer
    const double width = std::clamp(width_ * factor, chosen_ ? 1.0 : 0.01, MaxWidth());
    const double right = u + (plotWidth_ - x) / width;
    if (!chosen_) {
        const double fromMs = TimeOf(period_, right - plotWidth_ / width);
        const double toMs = TimeOf(period_, right);
        const Period p = FittingPeriod(fromMs, toMs, plotWidth_ / minCandle_);
        if (p != period_) {
            Reframe(p, fromMs, toMs, TimeOf(period_, u), x);
            return;
        }
    }
    width_ = std::clamp(width, MinWidth(), MaxWidth());
    right_ = u + (plotWidth_ - x) / width_;
    Settle();
}

void ChartViewport::Pan(double dx) {
    right_ -= dx / width_;
    Settle();
}

void ChartViewport::Update() {
    const int64_t count = timeline_.CandleCount(period_);
    if (count < known_) {
        // The table started over (a new set-up): show it whole.
        ShowAll();
        return;
    }
    if (following_) right_ += static_cast<double>(count - known_);
    known_ = count;
    Settle();
}

void ChartViewport::Choose(std::optional<Period> period) {
    if (plotWidth_ == 0) {
        chosen_ = period;  // before the first SetRoom, which shows the whole table
        return;
    }
    const bool following = following_;
    const double fromMs = TimeOf(period_, right_ - Visible());
    const double toMs = TimeOf(period_, right_);
    chosen_ = period;
    const Period p = period ? *period : FittingPeriod(fromMs, toMs, plotWidth_ / minCandle_);
    Reframe(p, fromMs, toMs, toMs, plotWidth_);
    if (following) right_ = std::max(right_, static_cast<double>(known_));
    Settle();
}

void ChartViewport::Settle() {
    width_ = std::clamp(width_, MinWidth(), MaxWidth());
    // Some candles stay in view: at least a few at the left, the newest no further left than a
    // fifth of the plot.
    const double count = static_cast<double>(known_);
    right_ = std::clamp(right_, std::min(count, 3.0), std::max(count + Visible() * 0.8, 1.0));
    following_ = right_ > count - 1;  // some of the newest candle shows
}

ChartSeries ChartViewport::Series(ChartSeries s, bool* logRefused) {
    const double visible = Visible();
    const double left = right_ - visible;
    const int64_t count = timeline_.CandleCount(period_);
    const int64_t first = std::clamp<int64_t>(static_cast<int64_t>(std::floor(left)), 0, count);
    const int64_t end = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(right_)), first, count);
    s.columns = timeline_.Candles(period_, first, end, source_);
    s.firstSlot = static_cast<double>(first) - left;
    s.slotSpan = visible;
    s.period = period_;
    s.style = ChartStyle::Candles;
    if (end < count) s.latest = timeline_.LastCandle(period_, source_);
    bool refused = false;
    if (log_) {
        refused = std::any_of(s.columns.begin(), s.columns.end(),
                              [](const ChartColumn& c) { return c.HasPrice() && c.low <= 0; });
    }
    s.logScale = log_ && !refused;
    if (logRefused != nullptr) *logRefused = refused;
    return s;
}

}  // namespace tarnwick::chart
