// History transfer against its measured limit, the bare generator loop producing the same rows.
//
//   (1) bare loop: interval-1 bars from 1 January 2003 to the feed clock, the transfer's date
//       arithmetic and GetNextPriceBar only (no library calls, no clock reads);
//   (2) SendSymbolHistory for the same span through the real binding into libORBFEED_noop.so,
//       with progress reports, reading the system clock as the transfer does;
//   (3) the same at interval 0 (ticks) over the last year, with its own bare loop;
//   (4) peak resident memory of a transfer of one year against one of twenty years, each in a
//       child process, to show that memory does not grow with the history.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_support.h"
#include "pricedata/price_feed.h"

using namespace tarnwick;
using namespace tarnwick::bench;

namespace {

constexpr double Jan1st2003 = 37622.0;

struct BareResult {
    long long rows = 0;
    Timing time;
    double checksum = 0;
};

// The transfer's loop without the library and the clock: the end is read once beforehand.
BareResult BareLoop(double interval, double start, double end) {
    PriceGenerator g;
    g.LastPrice = 30.0;
    BareResult result;
    const bool bars = interval > 0.01;
    const double step = (interval >= 0.01 ? interval : 0.01) / 1440.0;
    result.time = Measure([&] {
        double t = start + 9.0 / 24.0;
        double sum = 0;
        long long rows = 0;
        do {
            if (bars) {
                g.GetNextPriceBar();
                sum += t + g.BarOpen + g.BarHigh + g.BarLow + g.LastPrice + g.LastVolume;
            } else {
                g.GetNextTick();
                sum += t + g.LastPrice + g.LastVolume;
            }
            ++rows;
            t = t + step;
            if (t - std::trunc(t) > 16.0 / 24.0) t = std::trunc(t) + 1.0 + 9.0 / 24.0;
        } while (end > t);
        result.rows = rows;
        result.checksum = sum;
    });
    return result;
}

struct TransferResult {
    long long rows = 0;
    Timing time;
};

TransferResult Transfer(NoopFeed& noop, double interval, double start) {
    SystemClock clock;
    PriceFeed pf(*noop.feed, clock);
    pf.Generator().LastPrice = 30.0;
    std::string symbol = "ABC", description = "Alpha", category = "Stock";
    const FieldList fields = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
    const FieldList tickFields = {"Date/Time", "Close", "Volume"};
    const long long before = noop.committedRows();
    TransferResult result;
    result.time = Measure([&] {
        pf.SendSymbolHistory(symbol, description, category, interval, start,
                             interval > 0.01 ? fields : tickFields, true);
    });
    result.rows = noop.committedRows() - before;
    return result;
}

// Peak resident set (KiB) of a child process that runs one interval-1 transfer from start.
long PeakRssOfTransfer(double start) {
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        NoopFeed noop;
        Transfer(noop, 1.0, start);
        ::_exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) < 0) return -1;
    return usage.ru_maxrss;
}

// Runs that are compared: each figure is the best of this many runs, alternating between the two
// sides, so that a busy machine disturbs both alike.
constexpr int Runs = 3;

void KeepBest(Timing& best, const Timing& t) {
    best.wall = std::min(best.wall, t.wall);
    best.cpu = std::min(best.cpu, t.cpu);
}

template <typename Bare, typename Sent>
void BestOf(Bare&& bare, Sent&& sent, BareResult& bareBest, TransferResult& sentBest) {
    for (int run = 0; run < Runs; ++run) {
        const BareResult b = bare();
        const TransferResult s = sent();
        if (run == 0) {
            bareBest = b;
            sentBest = s;
        } else {
            KeepBest(bareBest.time, b.time);
            KeepBest(sentBest.time, s.time);
        }
    }
}

void PrintRow(const char* what, long long rows, const Timing& t) {
    std::printf("  %-46s %10lld rows  wall %7.3f s  cpu %7.3f s  %11.0f rows/s (cpu)\n", what, rows,
                t.wall, t.cpu, static_cast<double>(rows) / t.cpu);
}

// Time per row of a against time per row of b, by wall clock and by CPU time.
void PrintRatio(const char* what, long long rowsA, const Timing& a, long long rowsB,
                const Timing& b) {
    const double ra = static_cast<double>(rowsA), rb = static_cast<double>(rowsB);
    std::printf("  ratio %s per row: wall %.3f  cpu %.3f\n", what, (a.wall / ra) / (b.wall / rb),
                (a.cpu / ra) / (b.cpu / rb));
}

}  // namespace

int main() {
    try {
        SystemClock clock;
        NoopFeed noop;
        const double today = std::trunc(clock.FeedClock());

        std::printf(
            "History transfer, interval 1 from 01/01/2003 to the feed clock "
            "(best of %d runs)\n",
            Runs);
        BareResult bare;
        TransferResult transfer;
        BestOf([&] { return BareLoop(1.0, Jan1st2003, clock.FeedClock()); },
               [&] { return Transfer(noop, 1.0, Jan1st2003); }, bare, transfer);
        PrintRow("(1) bare generator loop", bare.rows, bare.time);
        PrintRow("(2) SendSymbolHistory -> libORBFEED_noop.so", transfer.rows, transfer.time);
        PrintRatio("(2)/(1)", transfer.rows, transfer.time, bare.rows, bare.time);
        std::printf("  targets: ratio <= 1.25, transfer (2) < 1.5 s\n");

        std::printf("\nHistory transfer, interval 0 (ticks) over the last year (best of %d runs)\n",
                    Runs);
        BareResult bareTicks;
        TransferResult ticks;
        BestOf([&] { return BareLoop(0.0, today - 365, clock.FeedClock()); },
               [&] { return Transfer(noop, 0.0, today - 365); }, bareTicks, ticks);
        PrintRow("(1') bare generator loop, ticks", bareTicks.rows, bareTicks.time);
        PrintRow("(3) SendSymbolHistory, ticks", ticks.rows, ticks.time);
        PrintRatio("(3)/(1')", ticks.rows, ticks.time, bareTicks.rows, bareTicks.time);

        std::printf("\nPeak resident memory of one interval-1 transfer (child processes)\n");
        const long oneYear = PeakRssOfTransfer(today - 365);
        const long twentyYears = PeakRssOfTransfer(today - 20 * 365.25);
        std::printf("  one year:      %8ld KiB\n  twenty years:  %8ld KiB\n", oneYear, twentyYears);
        std::printf("\n(checksums %.6g %.6g)\n", bare.checksum, bareTicks.checksum);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_history: %s\n", e.what());
        return 1;
    }
}
