#pragma once
// The host tool's commands that read the stored tables (tables, rows).
#include <CLI/CLI.hpp>

namespace orbfeed::cli {

// Registers the subcommands on app.
void AddDatabaseCommands(CLI::App& app);

}  // namespace orbfeed::cli
