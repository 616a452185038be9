// orbfeed: the host's tool for a running pump (send commands, request histories, unload) and
// for the tables its feed library stored.
#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "cli/chart_command.h"
#include "cli/db_commands.h"
#include "cli/host_commands.h"
#include "cli/view_command.h"

namespace {

// The subcommand of that name, or nullptr.
const CLI::App* Subcommand(const CLI::App& app, const std::string& name) {
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        if (sub->get_name() == name) return sub;
    }
    return nullptr;
}

std::string SubcommandList(const CLI::App& app) {
    std::string list;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        list += sub->get_name() + ", ";
    }
    return list + "help";
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"orbfeed: talk to a running data pump through its feed library", "orbfeed"};
    app.require_subcommand(1);
    int exitStatus = 0;
    orbfeed::cli::AddHostCommands(app, exitStatus);
    orbfeed::cli::AddRequestCommand(app, exitStatus);
    orbfeed::cli::AddDatabaseCommands(app);
    orbfeed::cli::AddChartCommand(app);
    orbfeed::cli::AddViewCommand(app);

    // "help [SUBCOMMAND]", and a first word that names no subcommand, before CLI11 sees them:
    // its own answer to both is only "A subcommand is required".
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "help") {
        const CLI::App* sub = argc > 2 ? Subcommand(app, argv[2]) : nullptr;
        std::cout << (sub != nullptr ? sub->help() : app.help());
        return 0;
    }
    if (argc == 1 || (first[0] != '-' && Subcommand(app, first) == nullptr)) {
        std::cerr << "orbfeed: "
                  << (argc == 1 ? "a subcommand is needed" : "unknown subcommand " + first)
                  << "; the subcommands are " << SubcommandList(app)
                  << " (orbfeed help SUBCOMMAND)\n";
        return orbfeed::cli::kExitRefused;
    }
    CLI11_PARSE(app, argc, argv);
    return exitStatus;
}
