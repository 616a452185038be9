// The host endpoint's frame decoding (feedlib/protocol.h): any byte stream, cut into any pieces,
// yields the same frames as when it arrives whole; every frame's payload is read by the layout
// of its type without reading past its end, and a payload read completely writes back to the
// same frame bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "feedlib/protocol.h"
#include "feedlib/tool_request.h"
#include "fuzz/fuzz_check.h"

using namespace orbfeed::proto;
using tarnwick::fuzz::Printable;

namespace {

struct Split {
    std::vector<Frame> frames;
    bool broken = false;
};

// The frames of stream when it arrives in pieces of the given sizes (cycled; 0 means the rest).
Split Cut(std::string_view stream, const std::vector<std::size_t>& pieces) {
    FrameSplitter splitter;
    Split out;
    std::size_t at = 0, k = 0;
    do {
        std::size_t n = pieces.empty() ? stream.size() : pieces[k++ % pieces.size()];
        if (n == 0 || n > stream.size() - at) n = stream.size() - at;
        splitter.Feed(stream.data() + at, n);
        at += n;
        while (std::optional<Frame> f = splitter.Next()) out.frames.push_back(std::move(*f));
    } while (at < stream.size());
    out.broken = splitter.Broken();
    // Nothing more comes out of a finished stream.
    FUZZ_CHECK(!splitter.Next().has_value(), "a frame after the stream ended");
    return out;
}

// Reads the payload by its type's layout and writes it again; returns the new frame, or nullopt
// when the payload does not fit the layout (a protocol error) or the type is unknown.
std::optional<std::string> Reencode(const Frame& f) {
    Reader r(f.payload);
    Writer w(f.type);
    switch (f.type) {
        case Type::Send:
        case Type::StoreError:
            w.Text(r.Text());
            break;
        case Type::Credentials: {
            std::string user = r.Text();
            std::string password = r.Text();
            w.Text(user).Text(password);
            break;
        }
        case Type::Ping:
        case Type::QueryServed:
        case Type::Pong:
        case Type::ChannelWithdrawn:
        case Type::CredentialsRequested:
            break;
        case Type::QueryRows:
        case Type::QueryStored: {
            std::string symbol = r.Text();
            w.Text(symbol).F32(r.F32());
            break;
        }
        case Type::Stored: {
            std::string symbol = r.Text();
            const float interval = r.F32();
            const int64_t sent = r.I64();
            const uint8_t kept = r.U8();
            const int64_t stored = r.I64();
            w.Text(symbol).F32(interval).I64(sent).U8(kept).I64(stored).Text(r.Text());
            break;
        }
        case Type::Served: {
            w.Text(r.Text());
            const uint32_t n = r.U32();
            w.U32(n);
            for (uint32_t i = 0; i < n && r.Ok(); ++i) {
                std::string symbol = r.Text();
                w.Text(symbol).F32(r.F32());
            }
            break;
        }
        case Type::Ack: {
            const uint8_t status = r.U8();
            w.U8(status).Text(r.Text());
            break;
        }
        case Type::Progress: {
            const int32_t percent = r.I32();
            w.I32(percent).U8(r.U8());
            break;
        }
        case Type::Table: {
            std::string symbol = r.Text();
            const float interval = r.F32();
            const int32_t columns = r.I32();
            std::string description = r.Text();
            std::string category = r.Text();
            const double start = r.F64();
            w.Text(symbol).F32(interval).I32(columns).Text(description).Text(category).F64(start);
            break;
        }
        case Type::Rows: {
            std::string symbol = r.Text();
            const float interval = r.F32();
            const uint8_t known = r.U8();
            w.Text(symbol).F32(interval).U8(known).I64(r.I64());
            break;
        }
        default:
            return std::nullopt;
    }
    if (!r.Ok() || !r.AtEnd()) {
        // A failed read yields zero and leaves nothing else to read.
        if (!r.Ok()) {
            FUZZ_CHECK(r.U8() == 0 && r.U32() == 0 && r.U64() == 0 && r.Text().empty() && !r.Ok(),
                       "a failed reader still yields data");
        }
        return std::nullopt;
    }
    return w.Done();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the piece sizes: byte count, then that many sizes.
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::size_t> pieces;
    if (!input.empty()) {
        const std::size_t count = static_cast<unsigned char>(input[0]) % 8;
        input.remove_prefix(1);
        for (std::size_t k = 0; k < count && !input.empty(); ++k) {
            pieces.push_back(static_cast<unsigned char>(input[0]));
            input.remove_prefix(1);
        }
    }

    const Split whole = Cut(input, {});
    const Split cut = Cut(input, pieces);
    FUZZ_CHECK(whole.broken == cut.broken && whole.frames.size() == cut.frames.size(),
               std::to_string(whole.frames.size()) + " frames whole, " +
                   std::to_string(cut.frames.size()) + " in pieces");

    // The frames, written back one after the other, are the start of the stream.
    std::string rebuilt;
    for (std::size_t i = 0; i < whole.frames.size(); ++i) {
        const Frame& f = whole.frames[i];
        FUZZ_CHECK(f.type == cut.frames[i].type && f.payload == cut.frames[i].payload,
                   "frame " + std::to_string(i) + " differs when cut into pieces");
        const auto body = static_cast<uint32_t>(f.payload.size() + 1);
        FUZZ_CHECK(body >= 1 && body <= kMaxFrame, std::to_string(body));
        std::string frame;
        for (int b = 0; b < 4; ++b) frame.push_back(static_cast<char>((body >> (8 * b)) & 0xffu));
        frame.push_back(static_cast<char>(f.type));
        frame += f.payload;
        rebuilt += frame;
        // A tool session's checks: a command for the channel never holds a NUL, and only the
        // six messages a tool may send are accepted.
        const orbfeed::ToolRequest req = orbfeed::ParseToolRequest(f);
        using Kind = orbfeed::ToolRequest::Kind;
        FUZZ_CHECK(req.kind != Kind::Send || req.text.find('\0') == std::string::npos,
                   "a command with a NUL byte would reach the channel");
        FUZZ_CHECK(req.kind == Kind::Invalid || f.type == Type::Send ||
                       f.type == Type::Credentials || f.type == Type::Ping ||
                       f.type == Type::QueryRows || f.type == Type::QueryStored ||
                       f.type == Type::QueryServed,
                   "a message a tool may not send was accepted");
        if (const std::optional<std::string> again = Reencode(f)) {
            FUZZ_CHECK(*again == frame, Printable(frame) + " writes back as " + Printable(*again));
        }
    }
    FUZZ_CHECK(input.substr(0, rebuilt.size()) == rebuilt, "frames do not match the stream");
    if (!whole.broken) {
        // What is left is an incomplete frame: its length prefix is missing or asks for more.
        const std::string_view left = input.substr(rebuilt.size());
        if (left.size() >= 4) {
            uint32_t len = 0;
            for (int b = 0; b < 4; ++b)
                len |= uint32_t(static_cast<uint8_t>(left[static_cast<std::size_t>(b)])) << (8 * b);
            FUZZ_CHECK(len >= 1 && len <= kMaxFrame && left.size() - 4 < len,
                       "a complete frame was left in the stream");
        }
    } else {
        const std::string_view left = input.substr(rebuilt.size());
        FUZZ_CHECK(left.size() >= 4, "broken without a length");
    }
    return 0;
}
