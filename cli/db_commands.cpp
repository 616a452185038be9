#include "db_commands.h"

namespace orbfeed::cli {

void AddDatabaseCommands(CLI::App& /*app*/) {}

}  // namespace orbfeed::cli
