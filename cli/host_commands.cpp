#include "cli/host_commands.h"

#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/host_client.h"
#include "feedlib/feed_library.h"
#include "feedlib/protocol.h"

namespace orbfeed::cli {
namespace {

using namespace std::chrono_literals;
using proto::Type;
using proto::Writer;

constexpr auto kConnectTimeout = 2s;
constexpr auto kDeliveryTimeout = 30s;
constexpr auto kUnloadTimeout = 30s;

void Error(const std::string& message) {
    std::cerr << "orbfeed: " << message << '\n';
}

std::optional<HostClient> ConnectOrSay() {
    const std::string path = FeedConfig::DefaultSocketPath();
    std::string error;
    auto client = HostClient::Connect(path, kConnectTimeout, error);
    if (!client) Error(error);
    return client;
}

// Sends one frame that the pump acknowledges, and waits for the acknowledgement. Frames that
// arrive meanwhile go to other (when given).
int SendAndAwaitAck(HostClient& client, const std::string& frame,
                    const std::function<void(const proto::Frame&)>& other = nullptr) {
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

int SendText(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        Error("the text contains a NUL byte, which would end the command early; nothing sent");
        return kExitFailed;
    }
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    return SendAndAwaitAck(*client, Writer(Type::Send).Text(text).Done());
}

std::string NumberForText(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string IsoDateDaysBack(int days) {
    const std::time_t now = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

std::string TrimSpaces(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

class ProgressView {
  public:
    ProgressView() : terminal_(::isatty(STDOUT_FILENO) == 1) {}
    void Show(int32_t percent) {
        if (percent == last_) return;
        last_ = percent;
        if (terminal_) {
            const int filled = percent < 0 ? 0 : (percent > 100 ? 40 : percent * 40 / 100);
            std::cout << "\r[" << std::string(filled, '#') << std::string(40 - filled, ' ') << "] "
                      << percent << "%" << std::flush;
            open_ = true;
        } else {
            std::cout << "progress " << percent << "%" << std::endl;
        }
    }
    void End() {
        if (open_) std::cout << '\n';
        open_ = false;
    }

  private:
    bool terminal_;
    bool open_ = false;
    int32_t last_ = -1000;
};

struct RequestOptions {
    std::string symbol;
    std::string description;
    std::string category = "Stock";
    double interval = 1;
    std::string start;
    std::string fields = "Date/Time,Open,High,Low,Close,Volume";
};

int Request(const RequestOptions& o) {
    const std::string description = o.description.empty() ? o.symbol : o.description;
    const std::string start = o.start.empty() ? IsoDateDaysBack(30) : o.start;
    const std::string intervalText = NumberForText(o.interval);
    const std::string text =
        RequestText(o.symbol, description, o.category, intervalText, start, o.fields);
    const std::string symbol = TrimSpaces(o.symbol);  // the pump trims the symbol
    const float served = ServedInterval(o.interval);
    const std::string servedText = NumberForText(served);

    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    bool tableSeen = false;
    bool gone = false;
    ProgressView progress;
    auto onFrame = [&](const proto::Frame& f) {
        proto::Reader r(f.payload);
        if (f.type == Type::Table) {
            const std::string s = r.Text();
            const float i = r.F32();
            if (r.Ok() && s == symbol && i == served) tableSeen = true;
        } else if (f.type == Type::Progress) {
            progress.Show(r.I32());
        } else if (f.type == Type::ChannelWithdrawn) {
            gone = true;
        }
    };
    int status = SendAndAwaitAck(*client, Writer(Type::Send).Text(text).Done(), onFrame);
    if (status != kExitOk) return status;
    for (;;) {
        if (gone) {
            progress.End();
            Error("the pump withdrew its channel before the request completed");
            return kExitFailed;
        }
        proto::Frame f;
        if (client->Receive(f, -1ms) != HostClient::Status::Frame) {
            progress.End();
            Error("the pump went away before the request completed");
            return kExitFailed;
        }
        onFrame(f);
        if (f.type != Type::Progress) continue;
        proto::Reader r(f.payload);
        const int32_t percent = r.I32();
        const bool final = r.U8() != 0;
        if (!final || percent != 100) continue;
        progress.End();
        // Ask for the row count of the table.
        if (!client->Send(Writer(Type::QueryRows).Text(symbol).F32(served).Done())) {
            Error("the pump went away before the request completed");
            return kExitFailed;
        }
        std::optional<int64_t> rows;
        for (;;) {
            proto::Frame g;
            if (client->Receive(g, 5000ms) != HostClient::Status::Frame) break;
            if (g.type != Type::Rows) continue;
            proto::Reader rr(g.payload);
            const std::string s = rr.Text();
            const float i = rr.F32();
            const bool known = rr.U8() != 0;
            const int64_t n = rr.I64();
            if (s != symbol || i != served) continue;
            if (known) rows = n;
            break;
        }
        if (!tableSeen) {
            std::cout << "no data came for " << symbol << " at interval " << servedText
                      << " (the pump did not serve the request: see its standard error";
            if (rows) std::cout << "; the table holds " << *rows << " rows";
            std::cout << ")" << std::endl;
            return kExitNoData;
        }
        std::cout << symbol << " at interval " << servedText << ": " << rows.value_or(0) << " rows"
                  << std::endl;
        return kExitOk;
    }
}

int Unload() {
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    bool gone = false;
    auto onFrame = [&](const proto::Frame& f) {
        if (f.type == Type::ChannelWithdrawn) gone = true;
    };
    const int status =
        SendAndAwaitAck(*client, Writer(Type::Send).Text("*****UnloadEXE*****").Done(), onFrame);
    if (status != kExitOk) return status;
    const auto deadline = std::chrono::steady_clock::now() + kUnloadTimeout;
    while (!gone) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            Error("the pump took the unload command but is still running after 30 s");
            return kExitFailed;
        }
        proto::Frame f;
        const auto s = client->Receive(f, left);
        if (s == HostClient::Status::Closed) break;
        if (s == HostClient::Status::Frame) onFrame(f);
    }
    return kExitOk;
}

int Credentials(const std::string& user, const std::string& password) {
    auto client = ConnectOrSay();
    if (!client) return kExitFailed;
    return SendAndAwaitAck(*client, Writer(Type::Credentials).Text(user).Text(password).Done());
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

}  // namespace

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

void AddHostCommands(CLI::App& app, int& exitStatus) {
    // send
    auto* send = app.add_subcommand("send", "Write a text into the running pump's command channel");
    auto text = std::make_shared<std::string>();
    auto file = std::make_shared<std::string>();
    auto* textOpt = send->add_option("text", *text,
                                     "The command text, sent as it stands (put -- "
                                     "before a text that starts with -)");
    auto* fileOpt = send->add_option("--file", *file,
                                     "Send the contents of this file instead (- for standard "
                                     "input); for texts too long for a command line");
    textOpt->excludes(fileOpt);
    send->callback([=, &exitStatus] {
        if (fileOpt->count() > 0) {
            std::string content;
            if (!ReadFileOrStdin(*file, content)) {
                Error("cannot read " + *file);
                exitStatus = kExitFailed;
                return;
            }
            exitStatus = SendText(content);
        } else if (textOpt->count() > 0) {
            exitStatus = SendText(*text);
        } else {
            throw CLI::RequiredError("text or --file");
        }
    });

    // unload
    auto* unload = app.add_subcommand("unload",
                                      "Tell the running pump to unload, and wait until "
                                      "it has gone");
    unload->callback([&exitStatus] { exitStatus = Unload(); });

    // credentials
    auto* creds =
        app.add_subcommand("credentials", "Give the pump the host's user id and password");
    auto user = std::make_shared<std::string>();
    auto password = std::make_shared<std::string>();
    creds->add_option("--user", *user, "User id")->required();
    creds->add_option("--password", *password, "Password")->required();
    creds->callback([=, &exitStatus] { exitStatus = Credentials(*user, *password); });

    // request
    auto* request =
        app.add_subcommand("request", "Request a symbol's history and wait until it has arrived");
    auto o = std::make_shared<RequestOptions>();
    request->add_option("symbol", o->symbol, "Ticker symbol")->required();
    request->add_option("--description", o->description, "Description (default: the symbol)");
    request->add_option("--category", o->category, "Category")->capture_default_str();
    request
        ->add_option("--interval", o->interval,
                     "Bar interval in minutes (0 to 0.01: ticks; negative: bars as ticks)")
        ->capture_default_str();
    request->add_option("--start", o->start, "First day of history (default: 30 days back)");
    request->add_option("--fields", o->fields, "Comma-separated column names")
        ->capture_default_str();
    request->callback([=, &exitStatus] { exitStatus = Request(*o); });

    // remove
    auto* remove = app.add_subcommand("remove", "Stop serving a symbol at an interval");
    auto symbol = std::make_shared<std::string>();
    auto interval = std::make_shared<std::string>();
    remove->add_option("symbol", *symbol, "Ticker symbol")->required();
    remove->add_option("interval", *interval, "Bar interval as listed")->required();
    remove->callback([=, &exitStatus] {
        exitStatus = SendText("*****RemoveTicker*****!@#" + *symbol + "!@#" + *interval);
    });
}

}  // namespace orbfeed::cli
