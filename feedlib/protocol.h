#pragma once
// The messages between the feed library's host endpoint and the host tools (see
// docs/host-protocol.md). A message is a frame: a 4-byte little-endian length, then that many
// bytes: one type byte and the payload. Payload fields are little-endian integers and floats and
// texts written as a 4-byte length and the bytes. Shared by the library and the host tool.
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orbfeed::proto {

// Largest frame body (type byte + payload) either side accepts; a larger length is a framing
// error and closes the connection.
inline constexpr uint32_t kMaxFrame = 16u * 1024u * 1024u;

enum class Type : uint8_t {
    // tool -> library
    Send = 0x01,         // text: write into the channel; answered by Ack
    Credentials = 0x02,  // user, password: keep them and write the credentials command; Ack
    Ping = 0x03,         // answered by Pong
    QueryRows = 0x04,    // symbol, f32 interval: answered by Rows to this tool only
    QueryStored = 0x05,  // symbol, f32 interval: answered by Stored to this tool only
    QueryServed = 0x06,  // no payload: answered by Served to this tool only
    // library -> tool
    Ack = 0x81,               // u8 status, text detail
    Pong = 0x82,              // no payload
    Progress = 0x83,          // i32 percent, u8 final
    Table = 0x84,             // symbol, f32 interval, i32 columns, description, category, f64 start
    Rows = 0x85,              // symbol, f32 interval, u8 known, i64 rows
    StoreError = 0x86,        // text
    ChannelWithdrawn = 0x87,  // no payload: the pump withdrew its channel (unloading)
    CredentialsRequested = 0x88,  // no payload: the pump asked for credentials, none are known
    Stored = 0x89,  // symbol, f32 interval, i64 sent, u8 kept, i64 stored, text problem
    Served = 0x8A,  // text store path, u32 count, count x (symbol, f32 interval)
};

enum class AckStatus : uint8_t {
    Delivered = 0,  // written into the channel completely
    NoChannel = 1,  // no channel registered, or it was withdrawn before the text got through
    BadText = 2,    // the text contains a NUL byte, which would end the command early
};

// Builds one frame.
class Writer {
  public:
    explicit Writer(Type type) : buf_(4, '\0') { buf_.push_back(static_cast<char>(type)); }
    Writer& U8(uint8_t v) {
        buf_.push_back(static_cast<char>(v));
        return *this;
    }
    Writer& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) buf_.push_back(static_cast<char>((v >> (8 * i)) & 0xffu));
        return *this;
    }
    Writer& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
    Writer& U64(uint64_t v) {
        for (int i = 0; i < 8; ++i) buf_.push_back(static_cast<char>((v >> (8 * i)) & 0xffu));
        return *this;
    }
    Writer& I64(int64_t v) { return U64(static_cast<uint64_t>(v)); }
    Writer& F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return U32(bits);
    }
    Writer& F64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        return U64(bits);
    }
    Writer& Text(std::string_view s) {
        U32(static_cast<uint32_t>(s.size()));
        buf_.append(s.data(), s.size());
        return *this;
    }
    // The finished frame, length prefix filled in.
    std::string Done() {
        const auto body = static_cast<uint32_t>(buf_.size() - 4);
        for (int i = 0; i < 4; ++i) buf_[i] = static_cast<char>((body >> (8 * i)) & 0xffu);
        return std::move(buf_);
    }

  private:
    std::string buf_;
};

// Reads the payload of one frame; every read past the end sets the failed flag and yields zero.
class Reader {
  public:
    explicit Reader(std::string_view payload) : p_(payload) {}
    bool Ok() const { return ok_; }
    bool AtEnd() const { return pos_ == p_.size(); }
    uint8_t U8() {
        if (!Need(1)) return 0;
        return static_cast<uint8_t>(p_[pos_++]);
    }
    uint32_t U32() {
        if (!Need(4)) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(static_cast<uint8_t>(p_[pos_ + i])) << (8 * i);
        pos_ += 4;
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint64_t U64() {
        if (!Need(8)) return 0;
        uint64_t v = 0;
        for (int i = 0; i < 8; ++i) v |= uint64_t(static_cast<uint8_t>(p_[pos_ + i])) << (8 * i);
        pos_ += 8;
        return v;
    }
    int64_t I64() { return static_cast<int64_t>(U64()); }
    float F32() {
        const uint32_t bits = U32();
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    double F64() {
        const uint64_t bits = U64();
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    std::string Text() {
        const uint32_t n = U32();
        if (!Need(n)) return {};
        std::string s(p_.substr(pos_, n));
        pos_ += n;
        return s;
    }

  private:
    bool Need(size_t n) {
        if (!ok_ || p_.size() - pos_ < n) {
            ok_ = false;
            return false;
        }
        return true;
    }
    std::string_view p_;
    size_t pos_ = 0;
    bool ok_ = true;
};

struct Frame {
    Type type;
    std::string payload;
};

// Cuts frames out of a byte stream.
class FrameSplitter {
  public:
    void Feed(const char* data, size_t n) { buf_.append(data, n); }
    // The next complete frame, if any. Sets Broken() on a length of 0 or above kMaxFrame; the
    // connection must then be closed.
    std::optional<Frame> Next() {
        if (broken_ || buf_.size() - pos_ < 4) return std::nullopt;
        uint32_t len = 0;
        for (int i = 0; i < 4; ++i)
            len |= uint32_t(static_cast<uint8_t>(buf_[pos_ + i])) << (8 * i);
        if (len == 0 || len > kMaxFrame) {
            broken_ = true;
            return std::nullopt;
        }
        if (buf_.size() - pos_ - 4 < len) return std::nullopt;
        Frame f{static_cast<Type>(static_cast<uint8_t>(buf_[pos_ + 4])),
                buf_.substr(pos_ + 5, len - 1)};
        pos_ += 4 + len;
        if (pos_ == buf_.size()) {
            buf_.clear();
            pos_ = 0;
        } else if (pos_ > (1u << 20)) {
            buf_.erase(0, pos_);
            pos_ = 0;
        }
        return f;
    }
    bool Broken() const { return broken_; }

  private:
    std::string buf_;
    size_t pos_ = 0;
    bool broken_ = false;
};

}  // namespace orbfeed::proto
