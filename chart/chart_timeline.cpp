// The window's hourly candles, the periods folded from them, and the finer periods read for the
// stretch shown.
#include "chart/chart_timeline.h"

#include <algorithm>
#include <bit>

#include "chart/chart_fold.h"
#include "dates/classic_date.h"

namespace tarnwick::chart {
namespace {

constexpr int64_t kMinuteMs = 60'000;

// Minutes a candle of a period under an hour spans.
int StepOf(Period p) {
    return p == Period::Minute1 ? 1 : p == Period::Minute5 ? 5 : 15;
}

// Bit g set when a minute of group g (of `step` minutes) holds a row.
uint64_t BucketMask(uint64_t minutes, int step) {
    if (step == 1) return minutes;
    uint64_t out = 0;
    const uint64_t group = (uint64_t{1} << step) - 1;
    for (int g = 0; g * step < 60; ++g) {
        if ((minutes >> (g * step)) & group) out |= uint64_t{1} << g;
    }
    return out;
}

// The bit number of the k-th set bit of mask (k from 0).
int NthBit(uint64_t mask, int64_t k) {
    for (; k > 0 && mask != 0; --k) mask &= mask - 1;
    return mask == 0 ? 63 : std::countr_zero(mask);
}

}  // namespace

void Timeline::Put(const TimelineRow& row) {
    if (row.seq < lastSeq_) return;
    ++version_;
    const bool dated = MsFromClassic(row.time).has_value();
    if (row.seq > lastSeq_) {
        if (pending_) Commit(*pending_, *MsFromClassic(pending_->time));
        lastSeq_ = row.seq;
    }
    pending_.reset();
    if (dated) pending_ = row;
    RefreshTail();
}

void Timeline::Clear() {
    hours_.clear();
    pending_.reset();
    tailIsNewHour_ = tailMerged_ = false;
    lastSeq_ = 0;
    ++version_;
    ++generation_;
}

void Timeline::Trim() {
    std::vector<HourCandle> trimmed;
    trimmed.reserve(hours_.size() + hours_.size() / 8);
    trimmed.assign(hours_.begin(), hours_.end());
    hours_.swap(trimmed);
}

void Timeline::Commit(const TimelineRow& r, int64_t ms) {
    const int64_t hour = PeriodStart(ms, Period::Hour1);
    const uint64_t bit = uint64_t{1} << ((ms - hour) / kMinuteMs);
    if (hours_.empty() || hours_.back().start != hour) {
        hours_.push_back({ChartColumn{}, hour, r.seq, 0});
    }
    HourCandle& h = hours_.back();
    AddRow(h.candle, r.time, r.open, r.high, r.low, r.close, r.volume);
    h.minutes |= bit;
}

void Timeline::RefreshTail() {
    tailIsNewHour_ = tailMerged_ = false;
    if (!pending_) return;
    const int64_t ms = *MsFromClassic(pending_->time);
    const int64_t hour = PeriodStart(ms, Period::Hour1);
    tailMerged_ = !hours_.empty() && hours_.back().start == hour;
    tailIsNewHour_ = !tailMerged_;
    tail_ = tailMerged_ ? hours_.back() : HourCandle{ChartColumn{}, hour, pending_->seq, 0};
    const TimelineRow& r = *pending_;
    AddRow(tail_.candle, r.time, r.open, r.high, r.low, r.close, r.volume);
    tail_.minutes |= uint64_t{1} << ((ms - hour) / kMinuteMs);
}

const HourCandle& Timeline::Hour(size_t i) const {
    if ((tailMerged_ || tailIsNewHour_) && i + 1 == HourCount()) return tail_;
    return hours_[i];
}

Timeline::Derived& Timeline::DerivedFor(Period p) {
    Derived& d = derived_[static_cast<size_t>(p)];
    if (d.version == version_) return d;
    d.version = version_;
    const size_t n = HourCount();
    if (p < Period::Hour1) {
        const int step = StepOf(p);
        d.prefix.resize(n + 1);
        d.prefix[0] = 0;
        for (size_t i = 0; i < n; ++i) {
            d.prefix[i + 1] = d.prefix[i] + std::popcount(BucketMask(Hour(i).minutes, step));
        }
    } else if (p > Period::Hour1) {
        d.candles.clear();
        PeriodFolder folder(p);
        ChartColumn done;
        for (size_t i = 0; i < n; ++i) {
            if (folder.Add(Hour(i).candle, done)) d.candles.push_back(done);
        }
        if (folder.Finish(done)) d.candles.push_back(done);
    }
    return d;
}

int64_t Timeline::CandleCount(Period p) {
    if (p == Period::Hour1) return static_cast<int64_t>(HourCount());
    Derived& d = DerivedFor(p);
    return p < Period::Hour1 ? d.prefix.back() : static_cast<int64_t>(d.candles.size());
}

size_t Timeline::HourOfIndex(const std::vector<int64_t>& prefix, int64_t index) const {
    // The hour with prefix[i] <= index < prefix[i + 1]; hours without candles are passed over.
    const auto it = std::upper_bound(prefix.begin(), prefix.end(), index);
    return static_cast<size_t>(std::max<ptrdiff_t>(0, it - prefix.begin() - 1));
}

std::vector<ChartColumn> Timeline::Candles(Period p, int64_t from, int64_t to, RowSource& source) {
    const int64_t count = CandleCount(p);
    from = std::clamp<int64_t>(from, 0, count);
    to = std::clamp<int64_t>(to, from, count);
    std::vector<ChartColumn> out;
    if (from == to) return out;
    out.reserve(static_cast<size_t>(to - from));
    if (p == Period::Hour1) {
        for (int64_t i = from; i < to; ++i) out.push_back(Hour(static_cast<size_t>(i)).candle);
    } else if (p > Period::Hour1) {
        const auto& all = DerivedFor(p).candles;
        out.assign(all.begin() + from, all.begin() + to);
    } else {
        const auto& fine = FineCandles(p, from, to, source);
        out.assign(fine.begin() + (from - fine_.from), fine.begin() + (to - fine_.from));
    }
    return out;
}

const std::vector<ChartColumn>& Timeline::FineCandles(Period p, int64_t from, int64_t to,
                                                      RowSource& source) {
    const std::vector<int64_t>& prefix = DerivedFor(p).prefix;
    // Hours before the last one read do not change as rows arrive, so the candles read stay
    // good unless the last hour was among them.
    const bool fresh = fine_.version == version_ || !fine_.holdsTail;
    if (fine_.generation == generation_ && fine_.period == p && fresh && from >= fine_.from &&
        to <= fine_.from + static_cast<int64_t>(fine_.candles.size())) {
        return fine_.candles;
    }
    // Half as many again on either side, so that a pan reads nothing for a while.
    const int64_t span = to - from;
    const int64_t readFrom = std::max<int64_t>(0, from - span / 2);
    const int64_t readTo = std::min(prefix.back(), to + span / 2);
    const size_t h0 = HourOfIndex(prefix, readFrom);
    const size_t h1 = HourOfIndex(prefix, readTo - 1);
    const int step = StepOf(p);
    fine_ = Fine{generation_, version_, p, prefix[h0], h1, h1 + 1 == HourCount(), {}};
    fine_.candles.reserve(static_cast<size_t>(prefix[h1 + 1] - prefix[h0]));
    std::array<ChartColumn, 60> buckets{};
    // Every hour gives exactly the candles its minutes count, rows read or not, so that the
    // candles stay where the counts put them.
    auto flush = [&](size_t h) {
        const uint64_t mask = BucketMask(Hour(h).minutes, step);
        for (int g = 0; g * step < 60; ++g) {
            if ((mask >> g) & 1) fine_.candles.push_back(buckets[static_cast<size_t>(g)]);
        }
        buckets.fill(ChartColumn{});
    };
    size_t h = h0;
    const int64_t lastSeq = h1 + 1 < HourCount() ? Hour(h1 + 1).firstSeq - 1 : lastSeq_;
    source.ReadRows(Hour(h0).firstSeq, lastSeq, [&](const TimelineRow& r) {
        for (; h < h1 && r.seq >= Hour(h + 1).firstSeq; ++h) flush(h);
        const std::optional<int64_t> ms = MsFromClassic(r.time);
        const int64_t start = Hour(h).start;
        if (!ms || *ms < start || *ms >= start + 60 * kMinuteMs) return;
        AddRow(buckets[static_cast<size_t>((*ms - start) / kMinuteMs / step)], r.time, r.open,
               r.high, r.low, r.close, r.volume);
    });
    for (; h <= h1; ++h) flush(h);
    return fine_.candles;
}

std::optional<ChartColumn> Timeline::LastCandle(Period p, RowSource& source) {
    const int64_t count = CandleCount(p);
    if (count == 0) return std::nullopt;
    if (p >= Period::Hour1) return Candles(p, count - 1, count, source).front();
    // The newest candle under an hour, from its own rows, leaving the candles read alone.
    if (newest_.version == version_ && newest_.period == p) return newest_.candle;
    const HourCandle& last = Hour(HourCount() - 1);
    const int64_t start = StartOf(p, count - 1);
    ChartColumn c;
    source.ReadRows(last.firstSeq, lastSeq_, [&](const TimelineRow& r) {
        const std::optional<int64_t> ms = MsFromClassic(r.time);
        if (ms && PeriodStart(*ms, p) == start) {
            AddRow(c, r.time, r.open, r.high, r.low, r.close, r.volume);
        }
    });
    newest_ = {version_, p, c};
    return c;
}

int64_t Timeline::IndexAt(Period p, int64_t ms) {
    const int64_t hour = PeriodStart(ms, Period::Hour1);
    if (p > Period::Hour1) {
        const auto& all = DerivedFor(p).candles;
        const int64_t key = PeriodStart(ms, p);
        const auto it = std::partition_point(all.begin(), all.end(), [&](const ChartColumn& c) {
            return PeriodOf(c.firstTime, p).value_or(0) <= key;
        });
        return (it - all.begin()) - 1;
    }
    // The last hour that begins at or before ms.
    size_t lo = 0, end = HourCount();
    while (lo < end) {
        const size_t mid = lo + (end - lo) / 2;
        if (Hour(mid).start <= hour) {
            lo = mid + 1;
        } else {
            end = mid;
        }
    }
    const int64_t i = static_cast<int64_t>(lo) - 1;
    if (p == Period::Hour1 || i < 0) return i;
    const auto& prefix = DerivedFor(p).prefix;
    const auto hi = static_cast<size_t>(i);
    if (Hour(hi).start != hour) return prefix[hi + 1] - 1;
    const int step = StepOf(p);
    const auto bucket = static_cast<int>((ms - hour) / kMinuteMs / step);
    const uint64_t upTo = bucket >= 63 ? ~uint64_t{0} : (uint64_t{2} << bucket) - 1;
    return prefix[hi] + std::popcount(BucketMask(Hour(hi).minutes, step) & upTo) - 1;
}

int64_t Timeline::StartOf(Period p, int64_t index) {
    const int64_t count = CandleCount(p);
    if (count == 0) return 0;
    index = std::clamp<int64_t>(index, 0, count - 1);
    if (p == Period::Hour1) return Hour(static_cast<size_t>(index)).start;
    if (p > Period::Hour1) return PeriodOf(DerivedFor(p).candles[index].firstTime, p).value_or(0);
    const auto& prefix = DerivedFor(p).prefix;
    const size_t h = HourOfIndex(prefix, index);
    const int step = StepOf(p);
    const int g = NthBit(BucketMask(Hour(h).minutes, step), index - prefix[h]);
    return Hour(h).start + int64_t{g} * step * kMinuteMs;
}

size_t Timeline::MemoryBytes() const {
    size_t bytes =
        hours_.capacity() * sizeof(HourCandle) + fine_.candles.capacity() * sizeof(ChartColumn);
    for (const Derived& d : derived_) {
        bytes += d.candles.capacity() * sizeof(ChartColumn) + d.prefix.capacity() * sizeof(int64_t);
    }
    return bytes;
}

}  // namespace tarnwick::chart
