// The chart window: the period chooser and log switch above the canvas, and the feed's polling.
#include "chart/chart_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "chart/chart_canvas.h"

namespace tarnwick::chart {
namespace {

// How often the table is polled for rows once it is read (as `orbfeed rows --follow` does).
constexpr int kFollowMs = 200;

}  // namespace

ChartWindow::ChartWindow(Timeline& timeline, RowSource& source, ChartFeed& feed,
                         ChartWindowSetup setup, QWidget* parent)
    : QWidget(parent),
      feed_(feed),
      setup_(std::move(setup)),
      viewport_(timeline, source, setup_.finest) {
    viewport_.SetLog(setup_.log);
    if (setup_.period) viewport_.Choose(setup_.period);

    periods_ = new QComboBox(this);
    periods_->addItem(QStringLiteral("Auto"));
    for (Period p : kPeriods) periods_->addItem(QString::fromUtf8(PeriodName(p)));
    if (setup_.period) periods_->setCurrentIndex(static_cast<int>(*setup_.period) + 1);
    periods_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    periods_->setToolTip(
        QStringLiteral("The candles' period; Auto keeps them 3 pixels wide or more"));
    log_ = new QCheckBox(QStringLiteral("Log scale"), this);
    log_->setChecked(setup_.log);
    status_ = new QLabel(this);
    canvas_ = new ChartCanvas(viewport_, setup_, this);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(8, 6, 8, 0);
    bar->addWidget(new QLabel(QStringLiteral("Period"), this));
    bar->addWidget(periods_);
    bar->addSpacing(12);
    bar->addWidget(log_);
    bar->addStretch(1);
    bar->addWidget(status_);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(bar);
    column->addWidget(canvas_, 1);

    connect(periods_, &QComboBox::activated, this, [this](int index) { Choose(index); });
    connect(log_, &QCheckBox::toggled, this, [this](bool on) {
        viewport_.SetLog(on);
        canvas_->update();
    });
    canvas_->OnViewChanged([this] { Refresh(); });
    // Focus stays on the canvas, so that the keys below reach the window.
    periods_->setFocusPolicy(Qt::ClickFocus);
    log_->setFocusPolicy(Qt::ClickFocus);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { PollFeed(); });
    timer_->start(0);
    Refresh();
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::PollFeed() {
    const ChartFeed::Step step = feed_.Poll();
    status_->setText(QString::fromStdString(step.error));
    if (step.loading) {
        // The first read, or a new set-up read again from the start.
        canvas_->ShowLoading(step.progress);
        timer_->setInterval(0);
        return;
    }
    timer_->setInterval(kFollowMs);
    if (!canvas_->Loaded()) {
        canvas_->ShowChart();
    } else if (step.changed) {
        viewport_.Update();
        canvas_->update();
        Refresh();
    }
}

void ChartWindow::Choose(int index) {
    if (!canvas_->Loaded()) return;
    viewport_.Choose(index <= 0 ? std::nullopt
                                : std::optional<Period>(kPeriods[static_cast<size_t>(index - 1)]));
    canvas_->update();
    Refresh();
}

void ChartWindow::Refresh() {
    // The title names the table and the period in view, so that a window list tells them apart.
    const QString period = QString::fromUtf8(PeriodName(viewport_.Shown()));
    setWindowTitle(QStringLiteral("%1 \u00b7 %2 candles \u2014 orbfeed view")
                       .arg(QString::fromStdString(setup_.name), period));
    if (!viewport_.Chosen()) {
        periods_->setItemText(0, QStringLiteral("Auto (%1)").arg(period));
    } else {
        periods_->setItemText(0, QStringLiteral("Auto"));
    }
}

void ChartWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Close) ||
        event->matches(QKeySequence::Quit)) {
        close();
    } else if (event->key() == Qt::Key_Home && canvas_->Loaded()) {
        viewport_.ShowAll();
        canvas_->update();
        Refresh();
    } else {
        QWidget::keyPressEvent(event);
    }
}

}  // namespace tarnwick::chart
