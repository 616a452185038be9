#pragma once
// The chart window (Qt Widgets): the same chart as the pictures, painted by the same function,
// on a table it follows as rows arrive. The window adds only interaction: the mouse wheel zooms
// the time axis around the pointer, a drag pans it, the pointer draws a crosshair with the
// candle's date/time and values, and a chooser sets the period and the logarithmic scale.
#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "chart/chart_series.h"
#include "chart/chart_timeline.h"
#include "chart/chart_viewport.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QTimer;

namespace tarnwick::chart {

// What the window polls: the table's first read in slices, then the rows that arrive. Poll does
// one slice of work and puts what it read into the timeline.
class ChartFeed {
  public:
    virtual ~ChartFeed() = default;
    struct Step {
        bool changed = false;  // the timeline took rows
        bool loading = false;  // the first read goes on (Poll again at once)
        double progress = 1;   // of the first read, 0 to 1
        std::string error;     // a read failed (the window keeps trying)
    };
    virtual Step Poll() = 0;
};

// The window's texts and the table's drawing choices.
struct ChartWindowSetup {
    ChartSeries base;  // title, volume pane and labels; columns are filled in
    std::string name;  // "T at interval 1", for the window title
    Period finest = Period::Minute1;
    std::optional<Period> period;  // chosen at the start; nullopt: the default choice
    bool log = false;
};

class ChartCanvas;

class ChartWindow : public QWidget {
  public:
    ChartWindow(Timeline& timeline, RowSource& source, ChartFeed& feed, ChartWindowSetup setup,
                QWidget* parent = nullptr);
    ~ChartWindow() override;

    ChartViewport& Viewport() { return viewport_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void PollFeed();
    void Choose(int index);
    void Refresh();

    ChartFeed& feed_;
    ChartWindowSetup setup_;
    ChartViewport viewport_;
    ChartCanvas* canvas_ = nullptr;
    QComboBox* periods_ = nullptr;
    QCheckBox* log_ = nullptr;
    QLabel* status_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace tarnwick::chart
