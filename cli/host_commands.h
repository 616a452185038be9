#pragma once
// The host tool's commands that talk to a running pump: send, unload, credentials, request,
// remove.
#include <CLI/CLI.hpp>

namespace orbfeed::cli {

// Exit statuses of the host commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // no pump, not delivered, pump went away, timeout
inline constexpr int kExitNoData = 3;  // a request completed without sending its table

// Registers the subcommands on app; the one that runs stores its exit status in exitStatus.
void AddHostCommands(CLI::App& app, int& exitStatus);

// The text of a history request: symbol, description, category, interval, start date and
// fields, separated by "!@#".
std::string RequestText(const std::string& symbol, const std::string& description,
                        const std::string& category, const std::string& interval,
                        const std::string& start, const std::string& fields);

// The interval the pump serves for a requested one: above one minute it serves one minute.
float ServedInterval(double requested);

}  // namespace orbfeed::cli
