#pragma once
// The checks a host tool's message passes before the link acts on it: which request a frame is,
// with its fields, or that it is refused. Pure, so that a fuzz target covers it.
#include <string>

#include "feedlib/protocol.h"

namespace orbfeed {

struct ToolRequest {
    enum class Kind {
        Send,         // text: a command for the channel
        BadText,      // a Send whose text holds a NUL byte, which would end the command early
        Credentials,  // text: the user, password: the password
        Ping,
        QueryRows,    // symbol and interval of the table asked about
        QueryStored,  // the same, for what the store holds of it
        QueryServed,
        Invalid,  // malformed, or not a message a tool may send: the connection is closed
    };
    Kind kind = Kind::Invalid;
    std::string text;
    std::string password;
    std::string symbol;
    float interval = 0;
};

ToolRequest ParseToolRequest(const proto::Frame& frame);

}  // namespace orbfeed
