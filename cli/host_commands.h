#pragma once
// The host tool's commands that talk to a running pump: send, unload, credentials, request,
// remove.
#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "cli/pump_calls.h"

namespace orbfeed::cli {

// Registers the subcommands on app; the one that runs stores its exit status in exitStatus.
void AddHostCommands(CLI::App& app, int& exitStatus);
void AddRequestCommand(CLI::App& app, int& exitStatus);

// The text of a history request: symbol, description, category, interval, start date and
// fields, separated by "!@#".
std::string RequestText(const std::string& symbol, const std::string& description,
                        const std::string& category, const std::string& interval,
                        const std::string& start, const std::string& fields);

// Why a request cannot be served, or empty when it can: a blank symbol, a separator inside the
// symbol, description, category or start text (it would shift the fields), an interval that is
// not finite, a start text that is no date (startDate, as the pump reads it, is nullopt) or that
// lies after the program's clock (a date/time).
std::string RequestRefusal(const std::string& symbol, const std::string& description,
                           const std::string& category, double interval, const std::string& start,
                           std::optional<double> startDate, double programClock);

// The interval the pump serves for a requested one: above one minute it serves one minute.
float ServedInterval(double requested);

}  // namespace orbfeed::cli
