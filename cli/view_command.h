#pragma once
// The host tool's view command: the chart window on a stored table, following it as rows arrive.
// It is the one command that needs a display.
#include <iosfwd>
#include <string>

namespace orbfeed::cli {

struct ViewOptions {
    std::string dbPath;
    std::string symbol;
    float interval = 1;
    std::string bar;   // the period to start with; empty: chosen to fit
    bool log = false;  // a logarithmic price axis
    int width = 1200;  // the window's first size
    int height = 760;
};

// Opens the window and returns when it is closed: 0, or 1 after one line on err (no display, no
// store or table, a bad period).
int RunView(const ViewOptions& options, std::ostream& err);

}  // namespace orbfeed::cli
