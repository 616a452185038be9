#pragma once
// orbfeed's command line: its subcommands, their options and help.

namespace CLI {
class App;
}  // namespace CLI

namespace orbfeed::cli {

// Registers every subcommand on app; the one that runs stores its exit status in exitStatus. A
// store command that fails throws CLI::RuntimeError with its exit code after writing its message
// to stderr, so the caller's usual `app.exit(e)` returns that code.
void AddCommands(CLI::App& app, int& exitStatus);

// Parses the command line, runs the subcommand it names and returns the process's exit status.
// "help [SUBCOMMAND]" prints the help; no subcommand, or an unknown one, is refused in one line
// that lists them (kExitRefused).
int RunCommandLine(int argc, char** argv);

}  // namespace orbfeed::cli
