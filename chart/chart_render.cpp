// Encoding a chart as PNG or SVG, with the Qt application object the painting needs.
#include "chart/chart_render.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QSvgGenerator>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "chart/chart_painter.h"

namespace tarnwick::chart {
namespace {

// A QGuiApplication for as long as a drawing needs one, when the process has none.
class GuiScope {
  public:
    GuiScope() {
        if (QCoreApplication::instance() != nullptr) return;
        args_ = {name_, nullptr};
        argc_ = 1;
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            args_ = {name_, platformFlag_, platform_, nullptr};
            argc_ = 3;
        }
        // Qt's notes on its own set-up (XDG_RUNTIME_DIR and the like) are not the chart's
        // business; its errors still reach standard error.
        previous_ = qInstallMessageHandler(QuietHandler);
        quiet_ = true;
        app_ = std::make_unique<QGuiApplication>(argc_, args_.data());
    }
    ~GuiScope() {
        app_.reset();
        if (quiet_) qInstallMessageHandler(previous_);  // null brings back Qt's own
    }
    GuiScope(const GuiScope&) = delete;
    GuiScope& operator=(const GuiScope&) = delete;

  private:
    char name_[8] = "orbfeed";
    char platformFlag_[10] = "-platform";
    char platform_[10] = "offscreen";
    std::vector<char*> args_;
    int argc_ = 0;
    QtMessageHandler previous_ = nullptr;
    bool quiet_ = false;
    std::unique_ptr<QGuiApplication> app_;

    static void QuietHandler(QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "orbfeed: %s\n", text.toLocal8Bit().constData());
        }
    }
};

}  // namespace

bool RenderChart(const ChartSeries& series, int width, int height, ChartFormat format,
                 std::string& bytes, std::string& error) {
    GuiScope gui;
    const QSize size(width, height);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (format == ChartFormat::Png) {
        const QImage image = ChartImage(series, size);
        if (image.isNull() || !image.save(&buffer, "PNG")) {
            error = "the PNG encoder failed";
            return false;
        }
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(96);
        svg.setTitle(QString::fromStdString(series.title));
        svg.setDescription(QString::fromStdString(series.subtitle));
        QPainter p;
        if (!p.begin(&svg)) {
            error = "the SVG writer failed";
            return false;
        }
        PaintChart(p, series, size);
        p.end();
    }
    bytes.assign(data.constData(), static_cast<size_t>(data.size()));
    return true;
}

}  // namespace tarnwick::chart
