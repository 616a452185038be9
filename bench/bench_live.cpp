// One live update over a full ticker list (32,766 rows, bar and tick intervals mixed, six fields
// each) through the real binding into libORBFEED_noop.so, against the bare generator drawing the
// same ticks and filler numbers.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "host/text_rules.h"
#include "pricedata/price_feed.h"

using namespace tarnwick;
using namespace tarnwick::bench;

int main() {
    try {
        NoopFeed noop;
        SystemClock clock;
        PriceFeed pf(*noop.feed, clock);
        pf.Generator().LastPrice = 30.0;

        // Intervals as a host sends them: bars of 1 and 0.5 minutes, ticks, bars as ticks.
        const char* intervals[] = {"1", "0", ".5", "-1", "1", "0"};
        const FieldList fields = {"Date/Time", "Open", "High", "Low", "Close", "Volume"};
        TickerList list;
        SubscriptionTable table;
        long long tickRows = 0;
        std::vector<char> tickMode;
        for (int i = 0; i < MaxTickerEntries; ++i) {
            std::string symbol = "SYM";
            symbol += std::to_string(i);
            const char* interval = intervals[i % 6];
            list.AppendEntry(TickerEntry{symbol, "desc", "cat", "01/01/2003", interval});
            table.Add(SubscriptionKey(symbol, NumberValue(interval)), fields);
            tickMode.push_back(NumberValue(interval) <= 0.01 ? 1 : 0);
            tickRows += tickMode.back();
        }
        const long long rows = list.EntryCount();

        const int events = 50;
        std::vector<double> eventSeconds, eventCpu;
        const long long before = noop.committedRows();
        pf.Timer1_Timer(list, table);  // warm-up: fills the interval cache and the buffers
        for (int e = 0; e < events; ++e) {
            const Timing t = Measure([&] { pf.Timer1_Timer(list, table); });
            eventSeconds.push_back(t.wall);
            eventCpu.push_back(t.cpu);
        }
        const long long sent = noop.committedRows() - before;

        // The bare generator: one tick per row, three filler draws per tick-mode row.
        PriceGenerator g;
        g.LastPrice = 30.0;
        std::vector<double> bareSeconds, bareCpu;
        double checksum = 0;
        for (int e = 0; e < events; ++e) {
            const Timing t = Measure([&] {
                for (size_t r = 0; r < tickMode.size(); ++r) {
                    g.GetNextTick();
                    checksum += g.LastPrice + g.LastVolume;
                    if (tickMode[r] != 0) {
                        checksum += g.NextRandom();
                        checksum += g.NextRandom();
                        checksum += g.NextRandom();
                    }
                }
            });
            bareSeconds.push_back(t.wall);
            bareCpu.push_back(t.cpu);
        }

        const double eventMedian = Median(eventSeconds), eventCpuMedian = Median(eventCpu);
        const double bareMedian = Median(bareSeconds), bareCpuMedian = Median(bareCpu);
        std::printf("Live update, %lld rows (%lld in tick mode), six fields each, %d events\n",
                    rows, tickRows, events);
        std::printf(
            "  Timer1_Timer -> no-op library:     median wall %8.3f ms, cpu %8.3f ms per "
            "event (target < 25 ms); %lld rows committed\n",
            eventMedian * 1e3, eventCpuMedian * 1e3, sent);
        std::printf("  bare generator, same ticks/draws:   median wall %8.3f ms, cpu %8.3f ms\n",
                    bareMedian * 1e3, bareCpuMedian * 1e3);
        std::printf("  ratio: wall %.2f  cpu %.2f\n", eventMedian / bareMedian,
                    eventCpuMedian / bareCpuMedian);
        std::printf("(checksum %.6g)\n", checksum);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_live: %s\n", e.what());
        return 1;
    }
}
