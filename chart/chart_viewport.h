#pragma once
// The stretch of a table the chart window shows: the period (chosen, or the finest whose candles
// stay about 3 pixels wide or more), the candles' width and the candle at the plot's right edge.
// Zooming, panning and following the newest candle change these; Series() gives the columns to
// paint. Plain C++ on a Timeline.
#include <cstdint>
#include <optional>
#include <string>

#include "chart/chart_series.h"
#include "chart/chart_timeline.h"

namespace tarnwick::chart {

class ChartViewport {
  public:
    // finest: the finest period the default choice takes (the table's own bars).
    ChartViewport(Timeline& timeline, RowSource& source, Period finest);

    // The plot's width in pixels and the narrowest candle the default choice allows. The first
    // call shows the whole table; later ones keep the candle at the right edge.
    void SetRoom(int plotWidth, double minCandle);
    // A period, or nullopt for the default choice; the right edge keeps its time (before the
    // first SetRoom: the period the whole table is first shown in).
    void Choose(std::optional<Period> period);
    std::optional<Period> Chosen() const { return chosen_; }
    Period Shown() const { return period_; }
    void SetLog(bool log) { log_ = log; }
    bool Log() const { return log_; }

    // Zooms the time axis by factor (above 1: closer) around pixel x of the plot (0 is its left
    // edge); the candle under x stays under it.
    void Zoom(double factor, double x);
    // Moves the axis by dx pixels: positive (a drag to the right) shows earlier candles.
    void Pan(double dx);
    // Takes rows that arrived: while the newest candle is in view, new candles push the view
    // left so that they appear at the right edge.
    void Update();
    // Shows the whole table again.
    void ShowAll();

    double CandleWidth() const { return width_; }
    bool Following() const { return following_; }

    // `base` (its texts, volume and labels) with the candles in view placed for the painter.
    // `logRefused` tells when a logarithmic axis was asked for but the candles in view hold a
    // price at or below 0 (they are then drawn on a linear one).
    ChartSeries Series(ChartSeries base, bool* logRefused = nullptr);

  private:
    // Positions on the axis (candles from the first one's left edge, fractional) and points in
    // time (ms since 30 December 1899), both ways at period p: inside a candle, linearly from its
    // start to the next candle's start (so a night falls at the end of the evening's candle);
    // before the first and after the last candle, by the period's nominal length.
    struct Ends {
        int64_t count = 0;   // candles at the period
        double nominal = 0;  // the period's nominal length in ms
        double first = 0;    // the first candle's start
        double end = 0;      // the last candle's start plus the nominal length
    };
    Ends EndsOf(Period p);
    double PosOf(Period p, double ms);
    double TimeOf(Period p, double pos);
    // The finest period from finest_ whose candles over [fromMs, toMs] number at most `most`.
    Period FittingPeriod(double fromMs, double toMs, double most);
    // Switches to period p showing [fromMs, toMs], with the point anchorMs at pixel x.
    void Reframe(Period p, double fromMs, double toMs, double anchorMs, double x);
    double Visible() const { return plotWidth_ / width_; }
    double MinWidth() const;
    double MaxWidth() const;
    void Settle();

    Timeline& timeline_;
    RowSource& source_;
    Period finest_;
    std::optional<Period> chosen_;
    Period period_;
    bool log_ = false;
    int plotWidth_ = 0;
    double minCandle_ = 3;
    double width_ = 8;  // pixels a candle
    double right_ = 0;  // candle position at the plot's right edge
    bool following_ = true;
    int64_t known_ = 0;  // candles at period_ when last counted
};

}  // namespace tarnwick::chart
