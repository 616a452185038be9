// Writes the same minute bars twice: once with one prepared INSERT in large transactions on a
// connection of its own (the limit), once through TableStore::PutRow. Prints rows/s of both and
// their ratio, then the peak resident memory of the store for one year and for twenty years of
// bars, which should be the same.
//
// Usage: store_bench [rows] [folder]   (default 3700000 rows, in a fresh folder under /tmp)
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "feedlib/store/table_store.h"

namespace {

using Clock = std::chrono::steady_clock;

// The rows of a one-minute history from 1 January 2003, 420 a day, with made-up prices.
class Bars {
  public:
    void Next(double* v) {
        v[0] = t_;
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        double move = static_cast<double>(state_ >> 40) / static_cast<double>(1ULL << 24) - 0.5;
        price_ += move * 0.1;
        v[1] = price_;
        v[2] = price_ + 0.05;
        v[3] = price_ - 0.05;
        v[4] = price_ + move * 0.01;
        v[5] = static_cast<double>(state_ >> 54);
        t_ += 1.0 / 1440;
        if (t_ - static_cast<double>(static_cast<int64_t>(t_)) > 16.0 / 24) {
            t_ = static_cast<double>(static_cast<int64_t>(t_)) + 1 + 9.0 / 24;
        }
    }

  private:
    double t_ = 37622.0 + 9.0 / 24;
    double price_ = 30;
    uint64_t state_ = 42;
};

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

// Creates the store's schema in path (through the store itself) and returns nothing else.
void CreateSchema(const std::string& path) {
    auto store = orbfeed::TableStore::Open(path, nullptr);
    store->SetupTable("ABC", 1.0f, "Alpha", "Stock", 37622.0, 6);
}

double PlainInsert(const std::string& path, int64_t rows) {
    CreateSchema(path);
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db, "open");
    Check(sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                       nullptr),
          db, "pragma");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "INSERT INTO rows(table_id, seq, ncols, datetime, c2, c3, c4, c5, c6, "
                             "extra) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, NULL)",
                             -1, &insert, nullptr),
          db, "prepare");
    Bars bars;
    double v[6];
    auto start = Clock::now();
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int64_t i = 1; i <= rows; ++i) {
        bars.Next(v);
        sqlite3_bind_int64(insert, 1, 1);
        sqlite3_bind_int64(insert, 2, i);
        sqlite3_bind_int(insert, 3, 6);
        for (int k = 0; k < 6; ++k) sqlite3_bind_double(insert, 4 + k, v[k]);
        Check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
        if (i % 500000 == 0) {
            Check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr), db, "commit");
        }
    }
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double StoreInsert(const std::string& path, int64_t rows) {
    Bars bars;
    double v[6];
    auto start = Clock::now();
    {
        auto store = orbfeed::TableStore::Open(
            path, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
        orbfeed::StoreTableId t = store->SetupTable("ABC", 1.0f, "Alpha", "Stock", 37622.0, 6);
        for (int64_t i = 0; i < rows; ++i) {
            bars.Next(v);
            store->PutRow(t, v, 6, false);
        }
    }  // the destructor commits everything
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs fn in a child process; returns its result and the child's peak resident memory in kB.
template <typename Fn>
std::pair<double, long> InChild(Fn fn) {
    int fds[2];
    if (::pipe(fds) != 0) std::exit(1);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        double seconds = fn();
        (void)!::write(fds[1], &seconds, sizeof seconds);
        ::_exit(0);
    }
    ::close(fds[1]);
    double seconds = -1;
    (void)!::read(fds[0], &seconds, sizeof seconds);
    ::close(fds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    return {seconds, usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 3700000;
    std::string folder;
    if (argc > 2) {
        folder = argv[2];
    } else {
        char templ[] = "/tmp/store-bench-XXXXXX";
        if (::mkdtemp(templ) == nullptr) return 1;
        folder = templ;
    }
    std::printf("%lld rows of 6 values\n", static_cast<long long>(rows));

    auto plain = InChild([&] { return PlainInsert(folder + "/plain.sqlite", rows); });
    auto store = InChild([&] { return StoreInsert(folder + "/store.sqlite", rows); });
    std::printf("plain prepared INSERT: %8.3f s %12.0f rows/s\n", plain.first,
                static_cast<double>(rows) / plain.first);
    std::printf("TableStore::PutRow:    %8.3f s %12.0f rows/s\n", store.first,
                static_cast<double>(rows) / store.first);
    std::printf("ratio store/plain:     %8.3f\n", plain.first / store.first);

    constexpr int64_t kYear = 365 * 420;
    auto oneYear = InChild([&] { return StoreInsert(folder + "/year1.sqlite", kYear); });
    auto twentyYears = InChild([&] { return StoreInsert(folder + "/year20.sqlite", 20 * kYear); });
    std::printf("peak RSS, 1 year (%lld rows):    %6ld kB\n", static_cast<long long>(kYear),
                oneYear.second);
    std::printf("peak RSS, 20 years (%lld rows): %6ld kB\n", static_cast<long long>(20 * kYear),
                twentyYears.second);

    if (argc <= 2) std::filesystem::remove_all(folder);
    return 0;
}
