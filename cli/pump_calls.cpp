// The host tool's exchanges with a running pump.
#include "cli/pump_calls.h"

#include <sys/stat.h>

#include <cmath>
#include <iostream>

#include "feedlib/feed_library.h"

namespace orbfeed::cli {
namespace {

using namespace std::chrono_literals;
using proto::Type;
using proto::Writer;

constexpr auto kConnectTimeout = 2s;
constexpr auto kDeliveryTimeout = 30s;
// A query waits for the store to write what it was handed: a locked database takes seconds.
constexpr auto kQueryTimeout = 30s;

}  // namespace

void Error(const std::string& message) {
    std::cerr << "orbfeed: " << message << '\n';
}

std::optional<HostClient> ConnectOrSay() {
    std::string error;
    auto client = HostClient::Connect(FeedConfig::DefaultSocketPath(), kConnectTimeout, error);
    if (!client) Error(error);
    return client;
}

std::optional<HostClient> ConnectQuietly() {
    std::string error;
    return HostClient::Connect(FeedConfig::DefaultSocketPath(), kConnectTimeout, error);
}

int SendAndAwaitAck(HostClient& client, const std::string& frame,
                    const std::function<void(const proto::Frame&)>& other) {
    if (!client.Send(frame)) {
        Error("the pump closed the connection");
        return kExitFailed;
    }
    const auto deadline = std::chrono::steady_clock::now() + kDeliveryTimeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        proto::Frame f;
        const auto status = client.Receive(f, left.count() > 0 ? left : 0ms);
        if (status == HostClient::Status::TimedOut) {
            Error("the pump did not take the text within 30 s (it stays queued; the pump is busy)");
            return kExitFailed;
        }
        if (status == HostClient::Status::Closed) {
            Error("the pump closed the connection before taking the text");
            return kExitFailed;
        }
        if (f.type == Type::Ack) {
            proto::Reader r(f.payload);
            const auto ack = static_cast<proto::AckStatus>(r.U8());
            const std::string detail = r.Text();
            if (ack == proto::AckStatus::Delivered) return kExitOk;
            Error("not delivered: " + detail);
            return kExitFailed;
        }
        if (other) other(f);
    }
}

std::optional<proto::Frame> AwaitAnswer(HostClient& client, proto::Type type,
                                        const std::function<void(const proto::Frame&)>& other,
                                        std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        proto::Frame f;
        if (client.Receive(f, left) != HostClient::Status::Frame) return std::nullopt;
        if (f.type == type) return f;
        if (other) other(f);
    }
}

std::optional<ServedTables> QueryServed(HostClient& client,
                                        const std::function<void(const proto::Frame&)>& other) {
    if (!client.Send(Writer(Type::QueryServed).Done())) return std::nullopt;
    const auto f = AwaitAnswer(client, Type::Served, other, kQueryTimeout);
    if (!f) return std::nullopt;
    proto::Reader r(f->payload);
    ServedTables served;
    served.storePath = r.Text();
    const uint32_t n = r.U32();
    for (uint32_t i = 0; i < n && r.Ok(); ++i) {
        std::string symbol = r.Text();
        const float interval = r.F32();
        served.tables.emplace_back(std::move(symbol), interval);
    }
    if (!r.Ok()) return std::nullopt;
    return served;
}

std::optional<StoredTable> QueryStored(HostClient& client, const std::string& symbol,
                                       float interval,
                                       const std::function<void(const proto::Frame&)>& other) {
    if (!client.Send(Writer(Type::QueryStored).Text(symbol).F32(interval).Done()))
        return std::nullopt;
    for (;;) {
        const auto f = AwaitAnswer(client, Type::Stored, other, kQueryTimeout);
        if (!f) return std::nullopt;
        proto::Reader r(f->payload);
        const std::string s = r.Text();
        const float i = r.F32();
        StoredTable t;
        t.sent = r.I64();
        t.kept = r.U8() != 0;
        t.stored = r.I64();
        t.problem = r.Text();
        if (!r.Ok()) return std::nullopt;
        if (s == symbol && (i == interval || (std::isnan(i) && std::isnan(interval)))) return t;
    }
}

bool SameStore(const std::string& pumpStore, const std::string& dbPath) {
    struct stat a {};
    struct stat b {};
    if (::stat(pumpStore.c_str(), &a) != 0 || ::stat(dbPath.c_str(), &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string TrimmedSymbol(const std::string& symbol) {
    const size_t b = symbol.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return symbol.substr(b, symbol.find_last_not_of(' ') - b + 1);
}

}  // namespace orbfeed::cli
