// The view command: options, the display check, the store opened, and the window run.
#include "cli/view_command.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "chart/chart_period.h"
#include "chart/chart_window.h"
#include "cli/chart_command.h"
#include "cli/number_text.h"
#include "cli/view_store.h"
#include "feedlib/store/store_path.h"

namespace orbfeed::cli {
namespace {

namespace chart = tarnwick::chart;

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Qt's notes on its own set-up are not the tool's business. When its platform cannot start (a
// display that does not answer), Qt ends the process with abort(); the view ends with one line
// and exit status 1 instead.
void ViewMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QByteArray line = text.section(QLatin1Char('\n'), 0, 0).toLocal8Bit();
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "orbfeed: cannot open the chart window: %s\n", line.constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    const bool platform =
        context.category != nullptr && std::string_view(context.category).substr(0, 6) == "qt.qpa";
    if (type == QtCriticalMsg || (type == QtWarningMsg && platform)) {
        std::fprintf(stderr, "orbfeed: %s\n", line.constData());
    }
}

}  // namespace

int RunView(const ViewOptions& o, std::ostream& err) {
    std::optional<chart::Period> bar;
    if (!o.bar.empty()) {
        bar = chart::ParsePeriod(o.bar);
        if (!bar) {
            err << "orbfeed: --bar " << o.bar << ": not a period; the periods are "
                << chart::PeriodNames() << "\n";
            return 1;
        }
    }
    if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY") && !IsSet("QT_QPA_PLATFORM")) {
        err << "orbfeed: view opens a window and needs a display, but neither DISPLAY nor "
               "WAYLAND_DISPLAY is set (the other commands need none)\n";
        return 1;
    }
    chart::Timeline timeline;
    StoreFeed feed(timeline);
    if (int rc = feed.Open(o.dbPath, o.symbol, o.interval, err); rc != 0) return rc;

    chart::ChartWindowSetup setup;
    setup.base.title = ChartTitle(o.symbol, o.interval);
    NameChartColumns(o.interval, feed.Labels(), feed.Choice(), setup.base);
    setup.name = o.symbol + " at interval " + ShortestText(o.interval);
    setup.finest = chart::FinestPeriodFor(o.interval > 0.01f ? o.interval : 1.0f);
    setup.period = bar;
    setup.log = o.log;

    const QtMessageHandler previous = qInstallMessageHandler(ViewMessages);
    int argc = 1;
    char name[] = "orbfeed";
    char* argv[] = {name, nullptr};
    int rc = 0;
    {
        QApplication app(argc, argv);
        chart::ChartWindow window(timeline, feed, feed, std::move(setup));
        window.resize(o.width, o.height);
        window.show();
        rc = app.exec() == 0 ? 0 : 1;
    }
    qInstallMessageHandler(previous);
    return rc;
}

}  // namespace orbfeed::cli
