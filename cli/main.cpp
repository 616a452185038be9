// orbfeed: the host's tool for a running pump (send commands, request histories, unload) and
// for the tables its feed library stored.
#include <CLI/CLI.hpp>

#include "cli/chart_command.h"
#include "cli/db_commands.h"
#include "cli/host_commands.h"
#include "cli/view_command.h"

int main(int argc, char** argv) {
    CLI::App app{"orbfeed: talk to a running data pump through its feed library"};
    app.require_subcommand(1);
    int exitStatus = 0;
    orbfeed::cli::AddHostCommands(app, exitStatus);
    orbfeed::cli::AddDatabaseCommands(app);
    orbfeed::cli::AddChartCommand(app);
    orbfeed::cli::AddViewCommand(app);
    CLI11_PARSE(app, argc, argv);
    return exitStatus;
}
