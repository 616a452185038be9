// The store commands on the command line: tables, rows and drop, with the running pump asked
// which tables it serves live when it writes the same store.
#include <iostream>
#include <memory>

#include "cli/db_commands.h"
#include "cli/pump_calls.h"
#include "feedlib/store/store_path.h"

namespace orbfeed::cli {
namespace {

// The tables the running pump serves live, when it keeps them in the store at dbPath.
LiveTables LiveTablesIn(const std::string& dbPath) {
    auto client = ConnectQuietly();
    if (!client) return {};
    const auto served = QueryServed(*client);
    if (!served) return {};
    if (!SameStore(served->storePath, dbPath)) {
        if (!served->tables.empty()) {
            Error("note: the running pump keeps its tables in " + served->storePath + ", not in " +
                  dbPath);
        }
        return {};
    }
    return served->tables;
}

void Throw(int rc) {
    if (rc != 0) throw CLI::RuntimeError(rc);
}

}  // namespace

CLI::Validator RowCount() {
    return CLI::Validator(
        [](const std::string& text) {
            return !text.empty() && text[0] == '-' ? std::string("expects a row count, 0 or more")
                                                   : std::string();
        },
        "N");
}

void AddDatabaseCommands(CLI::App& app) {
    auto* tables = app.add_subcommand(
        "tables",
        "List the stored tables, with their description and whether the pump serves "
        "them live");
    tables->callback([] {
        const std::string db = DefaultStorePath();
        Throw(RunTables(db, LiveTablesIn(db), std::cout, std::cerr));
    });

    auto options = std::make_shared<RowsOptions>();
    auto from = std::make_shared<std::string>();
    auto to = std::make_shared<std::string>();
    auto* rows = app.add_subcommand("rows", "Print the rows of a stored table");
    rows->add_option("symbol", options->symbol, "The table's symbol")->required();
    rows->add_option("interval", options->interval, "The table's bar interval in minutes")
        ->required();
    auto* last =
        rows->add_option("--last", options->last, "Only the last N rows")->check(RowCount());
    auto* fromOpt = rows->add_option("--from", *from, "First date/time shown (2003-01-15, ...)");
    auto* toOpt =
        rows->add_option("--to", *to, "Last day shown (the whole day unless a time is given)");
    last->excludes(fromOpt);
    last->excludes(toOpt);
    rows->add_flag("--csv", options->csv, "Comma-separated values with a header line");
    rows->add_flag("--follow,-f", options->follow, "Keep printing rows as they arrive");
    rows->callback([options, from, to] {
        options->dbPath = DefaultStorePath();
        if (!ReadTimeRange(*from, *to, options->range, std::cerr)) Throw(1);
        Throw(RunRows(*options, std::cout, std::cerr));
    });

    auto symbol = std::make_shared<std::string>();
    auto interval = std::make_shared<float>(0.0f);
    auto force = std::make_shared<bool>(false);
    auto* drop = app.add_subcommand(
        "drop", "Delete a stored table (refused while the pump serves it live, unless --force)");
    drop->add_option("symbol", *symbol, "The table's symbol")->required();
    drop->add_option("interval", *interval, "The table's interval, as tables shows it")->required();
    drop->add_flag("--force", *force, "Drop it even while the pump serves it live");
    drop->callback([symbol, interval, force] {
        const std::string db = DefaultStorePath();
        Throw(RunDrop(db, *symbol, *interval, *force, LiveTablesIn(db), std::cout, std::cerr));
    });
}

}  // namespace orbfeed::cli
