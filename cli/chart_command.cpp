// The chart command: options, the table read from the store, the picture drawn and written.
#include "cli/chart_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "chart/chart_layout.h"
#include "chart/chart_period.h"
#include "chart/chart_render.h"
#include "chart/chart_scale.h"
#include "cli/chart_store.h"
#include "cli/date_options.h"
#include "cli/db_commands.h"
#include "cli/number_text.h"
#include "feedlib/store/store_path.h"

namespace orbfeed::cli {
namespace {

namespace chart = tarnwick::chart;

// The picture's format by the file's extension (any letter case): .png or .svg.
std::optional<chart::ChartFormat> FormatOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "png") return chart::ChartFormat::Png;
    if (ext == "svg") return chart::ChartFormat::Svg;
    return {};
}

std::string Describe(float interval) {
    const std::string i = ShortestText(interval);
    if (interval > 0.01f) return i + "-minute bars";
    if (interval < 0) return ShortestText(-interval) + "-minute bars as ticks (interval " + i + ")";
    return "ticks (interval " + i + ")";
}

// Writes bytes to path through a temporary file in the same folder and a rename, so that a
// reader never sees half a picture and a failure leaves no file behind.
bool WriteAtomically(const std::string& path, const std::string& bytes, std::string& reason) {
    const std::string temp = path + ".part-" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    int error = 0;
    while (done < bytes.size() && error == 0) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno != EINTR) error = errno;
        if (n > 0) done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        reason = std::strerror(error);
        return false;
    }
    return true;
}

// The heading: the table in the title; the span, the row count and the period in the subtitle,
// with shorter forms for narrow pictures.
void SetHeading(const ChartOptions& o, ChartRead& read) {
    const bool ticks = !(o.interval > 0.01f);
    chart::ChartSeries& s = read.series;
    s.title = ChartTitle(o.symbol, o.interval);
    const std::string dot = "  \u00b7  ";
    const std::string rows = chart::CountText(read.rows) + (read.rows == 1 ? " row" : " rows");
    std::string period = s.style == chart::ChartStyle::Candles ? "one candle a row" : "every row";
    std::string shortPeriod = "rows";
    if (s.period) {
        period = std::string(chart::PeriodWords(*s.period)) + " candles";
        shortPeriod = chart::PeriodName(*s.period);
        if (read.perColumn > 1) period += ", " + chart::CountText(read.perColumn) + " to a column";
    }
    const std::string first = chart::DateTimeText(read.firstTime, ticks);
    const std::string last = chart::DateTimeText(read.lastTime, ticks);
    const std::string firstDay = first.substr(0, first.find(' '));
    const std::string lastDay = last.substr(0, last.find(' '));
    s.subtitle = first + "  to  " + last + dot + rows + dot + period;
    s.shortSubtitles = {firstDay + " to " + lastDay + " \u00b7 " + rows + " \u00b7 " + shortPeriod +
                            (s.period ? " candles" : ""),
                        firstDay + " \u2013 " + lastDay + " \u00b7 " + shortPeriod, shortPeriod};
}

}  // namespace

std::string ChartTitle(const std::string& symbol, float interval) {
    return symbol + "  \u00b7  " + Describe(interval);
}

std::string DefaultChartFile(const std::string& symbol, float interval) {
    std::string name = symbol.empty() ? std::string("chart") : symbol;
    for (char& c : name) {
        if (c == '/' || c == '\0') c = '_';
    }
    return name + "-" + ShortestText(interval) + ".png";
}

int RunChart(const ChartOptions& o, std::ostream& out, std::ostream& err) {
    if (o.width < chart::kMinWidth || o.width > chart::kMaxWidth || o.height < chart::kMinHeight ||
        o.height > chart::kMaxHeight) {
        err << "orbfeed: the size " << o.width << " x " << o.height << " is out of range (width "
            << chart::kMinWidth << " to " << chart::kMaxWidth << ", height " << chart::kMinHeight
            << " to " << chart::kMaxHeight << ")\n";
        return 1;
    }
    const std::string path = o.output.empty() ? DefaultChartFile(o.symbol, o.interval) : o.output;
    const auto format = FormatOf(path);
    if (!format) {
        err << "orbfeed: cannot write " << path
            << ": a chart is written as PNG (.png) or SVG (.svg), by the file's extension\n";
        return 1;
    }
    ChartSource src{o.dbPath, o.symbol, o.interval, o.last, {}, {}};
    if (!ReadTimeRange(o.from, o.to, src.range, err)) return 1;
    if (o.last == 0) {
        err << "orbfeed: --last 0 leaves no rows to draw\n";
        return 1;
    }
    if (!o.bar.empty()) {
        src.bar = chart::ParsePeriod(o.bar);
        if (!src.bar) {
            err << "orbfeed: --bar " << o.bar << ": not a period; the periods are "
                << chart::PeriodNames() << "\n";
            return 1;
        }
    }

    ChartRead read;
    const QSize size(o.width, o.height);
    const ChartRoom room{chart::PlotColumns(size), chart::MinCandleWidth(size)};
    if (int rc = ReadChartTable(src, room, read, err); rc != 0) return rc;
    if (o.log) {
        read.series.logScale = true;
        for (const chart::ChartColumn& c : read.series.columns) {
            if (c.HasPrice() && c.low <= 0) {
                err << "orbfeed: --log cannot show prices at or below 0, and the range asked for "
                       "holds "
                    << chart::PriceText(c.low) << " (" << chart::DateTimeText(c.firstTime, false)
                    << ")\n";
                return 1;
            }
        }
    }
    SetHeading(o, read);

    std::string bytes, reason;
    if (!chart::RenderChart(read.series, o.width, o.height, *format, bytes, reason)) {
        err << "orbfeed: cannot draw the chart: " << reason << "\n";
        return 1;
    }
    if (!WriteAtomically(path, bytes, reason)) {
        err << "orbfeed: cannot write " << path << ": " << reason << "\n";
        return 1;
    }
    out << "chart of " << o.symbol << " at interval " << ShortestText(o.interval) << " ("
        << chart::CountText(read.rows) << " rows, " << o.width << " x " << o.height
        << ") written to " << path << "\n";
    return 0;
}

}  // namespace orbfeed::cli
