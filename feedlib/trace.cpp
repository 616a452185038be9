#include "feedlib/trace.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace orbfeed {

namespace {

// The trace is bytes as received: on Windows the file is opened in binary mode so that LF stays LF.
#ifdef _WIN32
constexpr int kOpenFlags = O_BINARY | O_NOINHERIT;
#else
constexpr int kOpenFlags = O_CLOEXEC;
#endif

// Appends a TAB and the number in its shortest form that reads back to the same value.
template <typename Number>
void AppendNumber(std::string& out, Number v) {
    char buf[48];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.push_back('\t');
    out.append(buf, r.ptr);
}

// Opens path for appending, saying on stderr when that fails.
int OpenForAppending(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | kOpenFlags, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "orbfeed: cannot open trace file %s: %s\n", path.c_str(),
                     std::strerror(errno));
    }
    return fd;
}

// Writes all of bytes; a full disk loses trace lines, never the program.
void WriteAll(int fd, const std::string& bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

}  // namespace

TraceLine& TraceLine::Int(int64_t v) {
    AppendNumber(out_, v);
    return *this;
}

TraceLine& TraceLine::F32(float v) {
    AppendNumber(out_, v);
    return *this;
}

TraceLine& TraceLine::F64(double v) {
    AppendNumber(out_, v);
    return *this;
}

TraceLine& TraceLine::Text(const char* s) {
    out_.push_back('\t');
    if (s == nullptr) return *this;
    for (; *s != '\0'; ++s) {
        switch (*s) {
            case '\\':
                out_.append("\\\\");
                break;
            case '\t':
                out_.append("\\t");
                break;
            case '\r':
                out_.append("\\r");
                break;
            case '\n':
                out_.append("\\n");
                break;
            default:
                out_.push_back(*s);
        }
    }
    return *this;
}

TraceWriter::TraceWriter(const std::string& path, const std::string& timesPath) {
    fd_ = OpenForAppending(path);
    if (fd_ < 0) return;
    if (!timesPath.empty()) timesFd_ = OpenForAppending(timesPath);
    // Room for the write-through size and a long line, so that neither buffer doubles past it.
    pending_.reserve(kWriteThroughBytes + (64u << 10));
    writing_.reserve(kWriteThroughBytes + (64u << 10));
    flusher_ = std::thread([this] { Run(); });
}

TraceWriter::~TraceWriter() {
    if (fd_ < 0) return;
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    wake_.notify_one();
    flusher_.join();
    Flush();
    ::close(fd_);
    if (timesFd_ >= 0) ::close(timesFd_);
}

// Called with mu_ held, right after the line it belongs to: seconds, a dot, six digits, LF.
void TraceWriter::AppendTime() {
    const long long us = std::chrono::duration_cast<std::chrono::microseconds>(
                             std::chrono::steady_clock::now().time_since_epoch())
                             .count();
    char buf[32];
    char* end = std::to_chars(buf, buf + 20, us / 1000000).ptr;
    *end++ = '.';
    long long fraction = us % 1000000;
    for (int digit = 5; digit >= 0; --digit, fraction /= 10) end[digit] = char('0' + fraction % 10);
    end += 6;
    *end++ = '\n';
    pendingTimes_.append(buf, end);
}

void TraceWriter::Flush() {
    if (fd_ < 0) return;
    std::lock_guard lock(mu_);
    WriteLocked();
}

size_t TraceWriter::BufferBytes() {
    std::lock_guard lock(mu_);
    std::lock_guard w(writeMu_);
    return pending_.capacity() + writing_.capacity() + pendingTimes_.capacity() +
           writingTimes_.capacity();
}

// Called with mu_ held: writes pending_ (and its times) out.
void TraceWriter::WriteLocked() {
    std::lock_guard w(writeMu_);
    WriteAll(fd_, pending_);
    pending_.clear();
    if (timesFd_ >= 0) WriteAll(timesFd_, pendingTimes_);
    pendingTimes_.clear();
}

void TraceWriter::Run() {
    using namespace std::chrono_literals;
    std::unique_lock lock(mu_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !pending_.empty(); });
        if (stop_) return;
        // Gather the calls of the next 50 ms into one write.
        wake_.wait_for(lock, 50ms, [this] { return stop_; });
        if (stop_) return;
        // Take the write lock before letting callers in, so that a Flush() cannot write newer
        // lines ahead of these.
        {
            std::unique_lock w(writeMu_);
            writing_.swap(pending_);
            writingTimes_.swap(pendingTimes_);
            lock.unlock();
            WriteAll(fd_, writing_);
            writing_.clear();
            if (timesFd_ >= 0) WriteAll(timesFd_, writingTimes_);
            writingTimes_.clear();
        }
        lock.lock();
    }
}

}  // namespace orbfeed
