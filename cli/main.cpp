// orbfeed: the host's tool for a running pump (send commands, request histories, unload) and
// for the tables its feed library stored.
#include "cli/command_line.h"

int main(int argc, char** argv) {
    return orbfeed::cli::RunCommandLine(argc, argv);
}
