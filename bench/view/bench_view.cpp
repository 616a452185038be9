// bench_view: the chart window's redraws on a stored table, measured without a display: the
// window's own read of the table into its timeline (the baseline: what every redraw would cost
// if it read the table), then zooms and pans through the viewport, each painted through
// PaintChart into an image of the window's size, as the window paints them. Prints the figures,
// the ratio of the slowest redraw to the baseline, and the memory the timeline adds against the
// table's size in the store.
//
// Usage: bench_view DB SYMBOL INTERVAL
#include <sys/stat.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "chart/chart_layout.h"
#include "chart/chart_painter.h"
#include "chart/chart_viewport.h"
#include "cli/view_store.h"

namespace {

namespace chart = tarnwick::chart;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// A figure of /proc/self/status in kB (VmRSS, VmHWM).
long StatusKb(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
    }
    return -1;
}

long long FileBytes(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

struct Figures {
    std::vector<double> ms;
    void Print(const char* name) {
        if (ms.empty()) return;
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&](double q) {
            return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * sorted.size()))];
        };
        std::printf("%-44s %5zu  %7.2f  %7.2f  %7.2f\n", name, ms.size(), at(0.5), at(0.9),
                    sorted.back());
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_view DB SYMBOL INTERVAL\n");
        return 2;
    }
    const std::string db = argv[1];
    int qtArgc = 3;
    char name[] = "bench_view", flag[] = "-platform", platform[] = "offscreen";
    char* qtArgv[] = {name, flag, platform, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    const QSize size(1200, 700);  // the chart area of a window opened at 1200 x 760
    QImage image(size, QImage::Format_ARGB32_Premultiplied);

    chart::Timeline timeline;
    orbfeed::cli::StoreFeed feed(timeline);
    const float interval = std::strtof(argv[3], nullptr);
    if (feed.Open(db, argv[2], interval, std::cerr) != 0) return 1;
    chart::ChartSeries base;
    base.title = std::string(argv[2]) + "  benchmark";
    base.hasVolume = true;
    chart::ChartViewport view(timeline, feed,
                              chart::FinestPeriodFor(interval > 0.01f ? interval : 1));
    {
        // Qt's fonts and the painter warmed up on an empty chart before memory is measured.
        QPainter p(&image);
        chart::PaintChart(p, base, size);
    }
    const long rssBefore = StatusKb("VmRSS");

    const auto loadStart = Clock::now();
    if (!feed.ReadAll()) return 1;
    const double loadMs = Ms(Clock::now() - loadStart);
    const long rssAfter = StatusKb("VmRSS");
    const long long table = FileBytes(db) + FileBytes(db + "-wal");

    const int plotWidth = chart::PlotColumns(size);
    const double plotLeft = chart::PlotLeft(size);
    view.SetRoom(plotWidth, chart::MinCandleWidth(size));
    const auto redraw = [&](Figures& f, auto change) {
        const auto start = Clock::now();
        change();
        QPainter p(&image);
        chart::PaintChart(p, view.Series(base), size, QPoint(plotLeft + plotWidth * 0.6, 300));
        p.end();
        f.ms.push_back(Ms(Clock::now() - start));
    };

    Figures whole, zoomIn, zoomOut, follow;
    std::vector<std::pair<std::string, Figures>> pans;
    for (int i = 0; i < 5; ++i) redraw(whole, [] {});
    // In from the whole table to minutes at four fifths of the width, panning at each period.
    chart::Period last = view.Shown();
    for (int i = 0; i < 60 && view.CandleWidth() < 40; ++i) {
        redraw(zoomIn, [&] { view.Zoom(1.25, plotWidth * 0.8); });
        if (view.Shown() == last) continue;
        last = view.Shown();
        Figures pan;
        for (int k = 0; k < 40; ++k) redraw(pan, [&] { view.Pan(k < 20 ? 60 : -60); });
        pans.emplace_back(std::string("pan 60 px, ") + chart::PeriodWords(last) + " candles", pan);
    }
    for (int i = 0; i < 60 && view.Shown() != chart::Period::Month1; ++i) {
        redraw(zoomOut, [&] { view.Zoom(0.8, plotWidth * 0.3); });
    }
    // A forming bar's new values, as the window redraws them at every poll.
    chart::TimelineRow row;
    feed.ReadRows(timeline.LastSeq(), timeline.LastSeq(),
                  [&](const chart::TimelineRow& r) { row = r; });
    view.ShowAll();
    for (int i = 0; i < 20; ++i) {
        redraw(follow, [&] {
            row.close += 0.01;
            timeline.Put(row);
            view.Update();
        });
    }

    std::printf("table: %s at interval %s, %lld rows, %.1f MB in the store\n", argv[2], argv[3],
                static_cast<long long>(timeline.LastSeq()), table / 1e6);
    std::printf("baseline, the window's read of the whole table: %.0f ms\n", loadMs);
    std::printf("%-44s %5s  %7s  %7s  %7s   (ms, zoom or pan and paint, %d x %d)\n", "redraw", "n",
                "median", "90%", "max", size.width(), size.height());
    whole.Print("whole table");
    zoomIn.Print("zoom in (wheel notch), whole table to minutes");
    for (auto& [title, f] : pans) f.Print(title.c_str());
    zoomOut.Print("zoom out to months");
    follow.Print("forming bar replaced, whole table");
    double slowest = 0;
    for (Figures* f : {&whole, &zoomIn, &zoomOut, &follow}) {
        for (double v : f->ms) slowest = std::max(slowest, v);
    }
    for (auto& entry : pans) {
        for (double v : entry.second.ms) slowest = std::max(slowest, v);
    }
    std::printf("slowest redraw %.2f ms (target 50 ms); ratio to the baseline read %.4f\n", slowest,
                slowest / loadMs);
    // The periods are folded on first use, so the growth is taken at the end of the run.
    const long rssEnd = std::max(StatusKb("VmRSS"), rssAfter);
    std::printf(
        "memory: resident %ld kB before the read, %ld kB after it, %ld kB at the end "
        "(+%ld kB, %.2f%% of the table's %.1f MB); the timeline holds %zu kB\n",
        rssBefore, rssAfter, rssEnd, rssEnd - rssBefore,
        100.0 * static_cast<double>(rssEnd - rssBefore) * 1024.0 / static_cast<double>(table),
        table / 1e6, timeline.MemoryBytes() / 1024);
    return 0;
}
