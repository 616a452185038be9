// Reading and checking one message of a host tool.
#include "feedlib/tool_request.h"

namespace orbfeed {

ToolRequest ParseToolRequest(const proto::Frame& f) {
    using proto::Type;
    ToolRequest out;
    proto::Reader r(f.payload);
    switch (f.type) {
        case Type::Send:
            out.text = r.Text();
            if (!r.Ok() || !r.AtEnd()) return ToolRequest{};
            out.kind = out.text.find('\0') != std::string::npos ? ToolRequest::Kind::BadText
                                                                : ToolRequest::Kind::Send;
            return out;
        case Type::Credentials:
            out.text = r.Text();
            out.password = r.Text();
            if (!r.Ok() || !r.AtEnd()) return ToolRequest{};
            out.kind = ToolRequest::Kind::Credentials;
            return out;
        case Type::Ping:
            if (!r.AtEnd()) return ToolRequest{};
            out.kind = ToolRequest::Kind::Ping;
            return out;
        case Type::QueryRows:
        case Type::QueryStored:
            out.symbol = r.Text();
            out.interval = r.F32();
            if (!r.Ok() || !r.AtEnd()) return ToolRequest{};
            out.kind = f.type == Type::QueryRows ? ToolRequest::Kind::QueryRows
                                                 : ToolRequest::Kind::QueryStored;
            return out;
        case Type::QueryServed:
            if (!r.AtEnd()) return ToolRequest{};
            out.kind = ToolRequest::Kind::QueryServed;
            return out;
        default:
            return ToolRequest{};  // not a message a tool may send
    }
}

}  // namespace orbfeed
