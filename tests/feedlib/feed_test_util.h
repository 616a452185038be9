#pragma once
// Helpers for tests of the feed library and the host tool: a scratch folder, a library instance
// with a channel socketpair, a raw tool connection, reading the channel, polling with a deadline.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "feedlib/feed_library.h"
#include "feedlib/orbfeed.h"
#include "feedlib/protocol.h"
#include "feedlib/store/table_store.h"
#include "tests/support/deadline.h"

namespace orbfeed::testing {

using namespace std::chrono_literals;
using tarnwick::testing::Deadline;

// A folder of its own under /tmp, removed at the end (short, for socket paths).
class ScratchDir {
  public:
    ScratchDir() {
        char tmpl[] = "/tmp/orbfeed-t-XXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// The pump's side of GetUserIDPassword: two string variables, each holding a string of 21 zero
// bytes (the user id's may be given), freed with whatever they hold at the end.
struct CredentialStrings {
    explicit CredentialStrings(const std::string& userBytes = std::string(21, '\0'))
        : user(OrbfeedStringAlloc(userBytes.data(), static_cast<uint32_t>(userBytes.size()))),
          password(OrbfeedStringAlloc(nullptr, 21)) {}
    ~CredentialStrings() { OrbfeedStringFree(user), OrbfeedStringFree(password); }
    CredentialStrings(const CredentialStrings&) = delete;
    CredentialStrings& operator=(const CredentialStrings&) = delete;
    // Every byte of a string; its text, up to the first zero byte.
    static std::string Bytes(const char* s) {
        return s != nullptr ? std::string(s, OrbfeedStringByteLen(s)) : std::string();
    }
    static std::string Text(const char* s) { return Bytes(s).substr(0, Bytes(s).find('\0')); }

    char* user;
    char* password;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Calls done() until it is true or the deadline (stretched for sanitizer builds) passes; the
// result of the last call.
inline bool PollUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = Deadline(5s)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) return true;
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::poll(nullptr, 0, 5);
    }
}

// A steady clock the test moves by hand.
class ManualSteadyClock {
  public:
    std::chrono::steady_clock::time_point Now() const {
        return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(ns_.load()));
    }
    void Advance(std::chrono::nanoseconds d) { ns_ += d.count(); }

  private:
    std::atomic<int64_t> ns_{1'000'000'000'000};
};

// What a store was handed, for checks.
struct StoreLog {
    struct Row {
        StoreTableId table;
        std::vector<double> values;
        bool replaces;
    };
    std::vector<std::string> setups;
    std::vector<Row> rows;
    std::vector<std::string> labels;
    int flushes = 0;
};

class LoggingStore final : public TableStore {
  public:
    explicit LoggingStore(std::shared_ptr<StoreLog> log) : log_(std::move(log)) {}
    StoreTableId SetupTable(const std::string& symbol, float, const std::string&,
                            const std::string&, double, int32_t) override {
        log_->setups.push_back(symbol);
        return next_++;
    }
    StoreTableId TableFor(const std::string&, float) override { return next_++; }
    void SetLabel(StoreTableId, int32_t, const std::string& label) override {
        log_->labels.push_back(label);
    }
    void PutRow(StoreTableId table, const double* values, int32_t count,
                bool replacesLast) override {
        log_->rows.push_back({table, std::vector<double>(values, values + count), replacesLast});
    }
    void Flush() override { ++log_->flushes; }

  private:
    std::shared_ptr<StoreLog> log_;
    StoreTableId next_ = 1;
};

inline FeedConfig QuietConfig() {
    FeedConfig c;
    c.storePath = ":none:";
    return c;
}

// Both ends of a channel: the library writes into writeFd, the test reads readFd.
struct Channel {
    int readFd = -1;
    int writeFd = -1;
    Channel() {
        int sv[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) == 0) {
            readFd = sv[0];
            writeFd = sv[1];
        }
    }
    ~Channel() {
        ::close(readFd);
        ::close(writeFd);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // The next command (bytes up to the NUL), or nullopt when none came before the deadline.
    std::optional<std::string> Next(std::chrono::milliseconds limit = Deadline(5s)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            const size_t nul = buffer_.find('\0');
            if (nul != std::string::npos) {
                std::string cmd = buffer_.substr(0, nul);
                buffer_.erase(0, nul + 1);
                return cmd;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{readFd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[65536];
            const ssize_t n = ::recv(readFd, buf, sizeof buf, 0);
            if (n <= 0) return std::nullopt;
            buffer_.append(buf, static_cast<size_t>(n));
        }
    }
    // Whether nothing at all is waiting.
    bool Empty() {
        if (!buffer_.empty()) return false;
        pollfd p{readFd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 0;
    }

  private:
    std::string buffer_;
};

// A raw connection to the endpoint, speaking frames.
class RawTool {
  public:
    explicit RawTool(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~RawTool() { Close(); }
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool Connected() const { return connected_; }
    bool Write(const std::string& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // The next frame of the given type (others are skipped), or nullopt on EOF or deadline.
    std::optional<proto::Frame> Next(std::optional<proto::Type> type = std::nullopt,
                                     std::chrono::milliseconds limit = Deadline(5s)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            while (auto f = in_.Next()) {
                if (!type || f->type == *type) return f;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[65536];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0) {
                eof_ = true;
                return std::nullopt;
            }
            in_.Feed(buf, static_cast<size_t>(n));
        }
    }
    // Whether the library closed the connection (reads until EOF or the deadline).
    bool ClosedByPeer(std::chrono::milliseconds limit = Deadline(5s)) {
        while (!eof_) {
            if (!Next(std::nullopt, limit) && !eof_) return false;
        }
        return true;
    }

  private:
    int fd_ = -1;
    bool connected_ = false;
    bool eof_ = false;
    proto::FrameSplitter in_;
};

inline std::string SendFrame(const std::string& text) {
    return proto::Writer(proto::Type::Send).Text(text).Done();
}

inline proto::AckStatus AckOf(const proto::Frame& f) {
    proto::Reader r(f.payload);
    return static_cast<proto::AckStatus>(r.U8());
}

}  // namespace orbfeed::testing
