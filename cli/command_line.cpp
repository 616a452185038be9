// orbfeed's command line: every subcommand with its options and help texts, parsed by CLI11.
// The commands themselves live in their own files and know nothing of CLI11; keeping CLI11 to this
// one file keeps its heavy header out of the rest of the build.
#include "cli/command_line.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "cli/chart_command.h"
#include "cli/db_commands.h"
#include "cli/host_commands.h"
#include "cli/pump_calls.h"
#include "cli/view_command.h"
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

// Checks a row count option (--last) with one short line: "--last: expects a row count, 0 or
// more" (CLI11's own range check would print a 300-digit upper bound).
CLI::Validator RowCount() {
    return CLI::Validator(
        [](const std::string& text) {
            return !text.empty() && text[0] == '-' ? std::string("expects a row count, 0 or more")
                                                   : std::string();
        },
        "N");
}

// send, unload, credentials, remove: the commands that talk to a running pump.
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
    auto timeout = std::make_shared<int>(30);
    unload->add_option("--timeout", *timeout, "Seconds to wait for the pump to end")
        ->capture_default_str()
        ->check(CLI::Validator(
            [](const std::string& text) {
                const int v = std::atoi(text.c_str());
                return v >= 1 && v <= 3600 ? std::string()
                                           : std::string("--timeout takes 1 to 3600 seconds");
            },
            "SECONDS"));
    unload->callback([=, &exitStatus] { exitStatus = Unload(*timeout); });

    // credentials
    auto* creds =
        app.add_subcommand("credentials", "Give the pump the host's user id and password");
    auto user = std::make_shared<std::string>();
    auto password = std::make_shared<std::string>();
    creds->add_option("--user", *user, "User id")->required();
    creds->add_option("--password", *password, "Password")->required();
    creds->callback([=, &exitStatus] { exitStatus = Credentials(*user, *password); });

    // remove
    auto* remove = app.add_subcommand("remove", "Stop serving a symbol at an interval");
    auto symbol = std::make_shared<std::string>();
    auto interval = std::make_shared<std::string>();
    remove->add_option("symbol", *symbol, "Ticker symbol")->required();
    remove->add_option("interval", *interval, "Bar interval as listed")->required();
    remove->callback([=, &exitStatus] { exitStatus = Remove(*symbol, *interval); });
}

void AddRequestCommand(CLI::App& app, int& exitStatus) {
    auto* request =
        app.add_subcommand("request", "Request a symbol's history and wait until it has arrived");
    auto o = std::make_shared<RequestOptions>();
    request->add_option("symbol", o->symbol, "Ticker symbol")->required();
    request->add_option("--description", o->description, "Description (default: the symbol)");
    request->add_option("--category", o->category, "Category")->capture_default_str();
    request
        ->add_option("--interval", o->interval,
                     "Bar interval in minutes (0 to 0.01: ticks; negative: bars as ticks; above "
                     "1: served as 1)")
        ->capture_default_str();
    request->add_option("--start", o->start, "First day of history (default: 30 days back)");
    request->add_option("--fields", o->fields, "Comma-separated column names")
        ->capture_default_str();
    request->callback([=, &exitStatus] { exitStatus = Request(*o); });
}

// tables, rows, drop: the commands that read the stored tables.
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

void AddChartCommand(CLI::App& app) {
    auto o = std::make_shared<ChartOptions>();
    auto* c = app.add_subcommand("chart", "Draw a stored table as a PNG or SVG picture");
    c->add_option("symbol", o->symbol, "The table's symbol")->required();
    c->add_option("interval", o->interval, "The table's interval, as tables shows it")->required();
    c->add_option("-o,--output", o->output,
                  "The picture's file, ending in .png or .svg (default: SYMBOL-INTERVAL.png "
                  "here)");
    auto* last = c->add_option("--last", o->last, "Only the last N rows")->check(RowCount());
    auto* from = c->add_option("--from", o->from, "First day shown (2003-01-15, ...)");
    auto* to =
        c->add_option("--to", o->to, "Last day shown (the whole day unless a time is given)");
    last->excludes(from);
    last->excludes(to);
    c->add_option("--bar", o->bar,
                  "Candles of this period: 1m, 5m, 15m, 1h, 4h, 1d, 1w or 1mo (default: the finest "
                  "whose candles are about 3 pixels wide or more)");
    c->add_flag("--log", o->log, "Prices on a logarithmic axis (all must be above 0)");
    c->add_option("--width", o->width, "Width in pixels")->capture_default_str();
    c->add_option("--height", o->height, "Height in pixels")->capture_default_str();
    c->callback([o] {
        o->dbPath = DefaultStorePath();
        if (int rc = RunChart(*o, std::cout, std::cerr); rc != 0) throw CLI::RuntimeError(rc);
    });
}

void AddViewCommand(CLI::App& app) {
    auto o = std::make_shared<ViewOptions>();
    auto* c = app.add_subcommand(
        "view",
        "Open a chart window on a stored table and follow it as rows arrive (needs a display)");
    c->add_option("symbol", o->symbol, "The table's symbol")->required();
    c->add_option("interval", o->interval, "The table's interval, as tables shows it")->required();
    c->add_option("--bar", o->bar,
                  "Start with candles of this period: 1m, 5m, 15m, 1h, 4h, 1d, 1w or 1mo "
                  "(default: chosen to fit)");
    c->add_flag("--log", o->log, "Prices on a logarithmic axis");
    c->add_option("--width", o->width, "The window's width in pixels")
        ->capture_default_str()
        ->check(CLI::Range(320, 8000));
    c->add_option("--height", o->height, "The window's height in pixels")
        ->capture_default_str()
        ->check(CLI::Range(200, 8000));
    c->callback([o] {
        o->dbPath = DefaultStorePath();
        if (int rc = RunView(*o, std::cerr); rc != 0) throw CLI::RuntimeError(rc);
    });
}

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

void AddCommands(CLI::App& app, int& exitStatus) {
    AddHostCommands(app, exitStatus);
    AddRequestCommand(app, exitStatus);
    AddDatabaseCommands(app);
    AddChartCommand(app);
    AddViewCommand(app);
}

int RunCommandLine(int argc, char** argv) {
    CLI::App app{"orbfeed: talk to a running data pump through its feed library", "orbfeed"};
    app.require_subcommand(1);
    int exitStatus = 0;
    AddCommands(app, exitStatus);

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
        return kExitRefused;
    }
    CLI11_PARSE(app, argc, argv);
    return exitStatus;
}

}  // namespace orbfeed::cli
