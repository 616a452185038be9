#include "cli/host_commands.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>

#include "feedlib/protocol.h"

namespace orbfeed::cli {

using namespace std::chrono_literals;
using proto::Type;
using proto::Writer;

int SendText(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        Error("the text contains a NUL byte, which would end the command early; nothing sent");
        return kExitFailed;
    }
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    return SendAndAwaitAck(*client, Writer(Type::Send).Text(text).Done());
}

// Waits until the pump has gone: its library closes the tools' connections last when it is
// taken down at the process's end (after the list file, the store and the trace are written),
// and the end of the process closes them in any case.
int Unload(int timeoutSeconds) {
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    bool withdrawn = false;
    auto onFrame = [&](const proto::Frame& f) {
        if (f.type == Type::ChannelWithdrawn) withdrawn = true;
    };
    const int status =
        SendAndAwaitAck(*client, Writer(Type::Send).Text("*****UnloadEXE*****").Done(), onFrame);
    if (status != kExitOk) return status;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        proto::Frame f;
        const auto s = left.count() > 0 ? client->Receive(f, left) : HostClient::Status::TimedOut;
        if (s == HostClient::Status::Closed) return kExitOk;
        if (s == HostClient::Status::Frame) {
            onFrame(f);
            continue;
        }
        Error(std::string(withdrawn ? "the pump withdrew its channel"
                                    : "the pump took the unload command") +
              " but has not ended after " + std::to_string(timeoutSeconds) + " s");
        return kExitFailed;
    }
}

int Credentials(const std::string& user, const std::string& password) {
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    return SendAndAwaitAck(*client, Writer(Type::Credentials).Text(user).Text(password).Done());
}

// Sends the remove command and says whether a table the pump serves live matched: the library
// follows the pump's list, so its served tables before and after the command tell.
int Remove(const std::string& symbol, const std::string& interval) {
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    const auto before = QueryServed(*client);
    if (int status = SendAndAwaitAck(
            *client, Writer(Type::Send)
                         .Text("*****RemoveTicker*****!@#" + symbol + "!@#" + interval)
                         .Done());
        status != kExitOk) {
        return status;
    }
    const auto after = QueryServed(*client);
    if (!before || !after) {
        Error("the pump went away before saying what it serves");
        return kExitFailed;
    }
    for (const auto& table : before->tables) {
        if (std::find(after->tables.begin(), after->tables.end(), table) == after->tables.end()) {
            std::cout << table.first << " at interval " << ShortestText(table.second)
                      << ": no longer served" << std::endl;
            return kExitOk;
        }
    }
    std::string served;
    for (const auto& [s, i] : before->tables) {
        if (s == TrimmedSymbol(symbol)) served += (served.empty() ? "" : ", ") + ShortestText(i);
    }
    std::string message = "the pump serves no table " + TrimmedSymbol(symbol) + " at interval " +
                          interval + " (nor at its negation); nothing removed";
    if (!served.empty()) message += "; it serves " + TrimmedSymbol(symbol) + " at " + served;
    if (std::strtod(interval.c_str(), nullptr) > 1) {
        message += " (a requested interval above 1 is served as 1)";
    }
    Error(message);
    return kExitNoData;
}

bool ReadFileOrStdin(const std::string& path, std::string& out) {
    if (path == "-") {
        out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string RequestText(const std::string& symbol, const std::string& description,
                        const std::string& category, const std::string& interval,
                        const std::string& start, const std::string& fields) {
    const std::string sep = "!@#";
    return symbol + sep + description + sep + category + sep + interval + sep + start + sep +
           fields;
}

float ServedInterval(double requested) {
    return static_cast<float>(requested > 1 ? 1.0 : requested);
}

}  // namespace orbfeed::cli
