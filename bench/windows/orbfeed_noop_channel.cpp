// A do-nothing ORBFEED.DLL for timing tarnwick.exe end to end: every operation returns at once,
// except that the command window is published as the stand-in library publishes it (so that
// orbfeed.exe can send the program a request) and each history transfer is timed, from
// ORBSETUPDATA (the program's first call for a request) to its last row's ORBCOMMITROW. The
// transfer reports 100 percent once its rows pass 99.5 %; from then on each commit is stamped
// (a few thousand clock reads, not millions). The transfer's rows follow one another within
// microseconds: the next UpdatePercent (the request's final 100, a second later) or a commit
// more than 100 ms after the last (a live row) ends it. The thread's CPU time is read at the
// start and at the 100 percent report and scaled up by the rows (a busy machine stretches the
// wall time; CPU time is the fairer figure there). One line per transfer, "rows wall cpu" in
// seconds, is appended to the file TARNWICK_BENCH_TIMES names.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "feedlib/orbfeed.h"
#include "feedlib/win/channel_record.h"

namespace {

struct Timer {
    std::unique_ptr<orbfeed::win::ChannelRecord> record;
    long long start = 0;    // QueryPerformanceCounter at ORBSETUPDATA
    long long lastRow = 0;  // at the last stamped commit
    long long rows = 0;
    double cpuStart = 0;  // the thread's CPU seconds at ORBSETUPDATA
    double cpuAt100 = 0;  // and at the 100 percent report
    long long rowsAt100 = 0;
    bool armed = false;        // a transfer is being timed
    bool lastStretch = false;  // its 100 percent has been reported
};

long long Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

long long Frequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

Timer& State() {
    static Timer timer;
    return timer;
}

double ThreadCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                                   f.dwLowDateTime) *
               1e-7;
    };
    return seconds(kernel) + seconds(user);
}

void Report(Timer& t) {
    t.armed = false;
    const char* path = std::getenv("TARNWICK_BENCH_TIMES");
    if (path == nullptr) return;
    if (FILE* f = std::fopen(path, "a")) {
        const double cpu = t.rowsAt100 > 0
                               ? (t.cpuAt100 - t.cpuStart) * static_cast<double>(t.rows) /
                                     static_cast<double>(t.rowsAt100)
                               : 0.0;
        std::fprintf(f, "%lld %.6f %.6f\n", t.rows,
                     static_cast<double>(t.lastRow - t.start) / static_cast<double>(Frequency()),
                     cpu);
        std::fclose(f);
    }
}

}  // namespace

ORBFEED_EXPORT int32_t ORBFEED_CALL SetDataFeedhwnd(int32_t windowHandle) {
    Timer& t = State();
    if (!t.record) t.record = orbfeed::win::ChannelRecord::Open(true);
    if (t.record) {
        t.record->SetChannel(static_cast<uint32_t>(windowHandle),
                             windowHandle != 0 ? GetCurrentProcessId() : 0);
    }
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL RequireUserIDPassword(void) {
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL GetUserIDPassword(char**, char**) {
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL UpdatePercent(int32_t percent) {
    Timer& t = State();
    if (!t.armed) return 0;
    if (t.lastStretch) {
        Report(t);
    } else if (percent == 100) {
        t.lastStretch = true;
        t.cpuAt100 = ThreadCpuSeconds();
        t.rowsAt100 = t.rows;
        t.lastRow = Now();
    }
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETUPDATA(char*, char*, float, int32_t, char*, double) {
    Timer& t = State();
    if (t.armed && t.lastStretch) Report(t);
    t.rows = 0;
    t.armed = true;
    t.lastStretch = false;
    t.cpuStart = ThreadCpuSeconds();
    t.start = t.lastRow = Now();
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETLABEL(char*, float, int32_t, char*) {
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBSETVALUE(char*, float, int32_t, double) {
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCOMMITROW(char*, float) {
    Timer& t = State();
    if (!t.armed) return 0;
    if (t.lastStretch) {
        const long long now = Now();
        if (now - t.lastRow > Frequency() / 10) {
            Report(t);
            return 0;
        }
        t.lastRow = now;
    }
    ++t.rows;
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBGETNUMROWS2(char*, float, float, int32_t, int32_t) {
    return 0;
}
ORBFEED_EXPORT int32_t ORBFEED_CALL ORBCustomAction(void) {
    return 0;
}
