#include "app/data_pump_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "app/command_channel.h"
#include "app/command_field.h"
#include "app/design_font.h"
#include "app/layout_rules.h"
#include "app/list_column_fit.h"
#include "app/mouse_pointer.h"
#include "app/ticker_list_model.h"
#include "app/ticker_list_view.h"

namespace tarnwick {

namespace {

int Px(float twips) {
    return PixelsFromTwips(twips);
}

void PlaceTwips(QWidget* w, float left, float top, float width, float height) {
    w->setGeometry(Px(left), Px(top), Px(width), Px(height));
}

// Text1's text at creation: four lines, each ended by CR LF.
constexpr const char* Text1Initial =
    "Text1 - Used to receive \r\n"
    "commands from the \r\n"
    "datapump.  Hidden \r\n"
    "when the program is run\r\n";

constexpr float DesignClientWidth = 7485;
constexpr float DesignClientHeight = 3630;
constexpr int Timer1IntervalMs = 500;

}  // namespace

DataPumpWindow::DataPumpWindow(HostFeed& feed, Clock& clock, DateLocale locale,
                               std::string programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window),
      locale_(locale),
      pump_(feed, clock, *this, std::move(locale), std::move(programFolder)),
      endProcess_([](int status) {
          std::fflush(nullptr);
          std::exit(status);
      }) {
    setObjectName(QStringLiteral("DataPump"));
    setWindowTitle(QStringLiteral("Tarnwick"));
    ApplyDesignFont(*this);
    resize(Px(DesignClientWidth), Px(DesignClientHeight));
    // The layout rules never let the window become smaller than it started; telling the window
    // manager the same minimum keeps it from offering smaller sizes in the first place.
    setMinimumSize(Px(DesignClientWidth), Px(DesignClientHeight));

    // Controls in tab order.
    listView1_ = new TickerListView(this);
    listView1_->setObjectName(QStringLiteral("ListView1"));
    model_ = new TickerListModel(pump_.List(), this);
    listView1_->setModel(model_);
    for (int column = 1; column <= 5; ++column)
        listView1_->setColumnWidth(column - 1, TickerListModel::ColumnWidthPixels(column));
    // The last day of a year, in the host's usual form and in the locale's short form (the
    // form a Start Date sort writes), must fit its column.
    const QString shortDate =
        QString::fromStdString(ShortDateText(DayNumberOf(2026, 12, 31), locale_));
    FitListColumns(*listView1_, 3, {QStringLiteral("12/31/2026"), shortDate});
    PlaceTwips(listView1_, 120, 120, 4455, 2415);

    remove_ = new QPushButton(QStringLiteral("&Remove Symbol(s)"), this);
    remove_->setObjectName(QStringLiteral("Remove"));
    remove_->setEnabled(false);
    PlaceTwips(remove_, 2400, 2640, 2175, 375);

    text1_ = new CommandField(this);
    text1_->setObjectName(QStringLiteral("Text1"));
    PlaceTwips(text1_, 4800, 120, 2355, 1005);
    text1_->setText(Text1Initial);  // before the change event is connected: never a command

    add_ = new QPushButton(QStringLiteral("&Add Symbol"), this);
    add_->setObjectName(QStringLiteral("Add"));
    PlaceTwips(add_, 120, 2640, 2175, 375);

    statusBar1_ = new QStatusBar(this);
    statusBar1_->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1_->setSizeGripEnabled(false);
    PlaceTwips(statusBar1_, 0, 3270, 7485, 360);
    panel1_ = new QLabel(QStringLiteral("UserID:"), statusBar1_);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel2_ = new QLabel(QStringLiteral("Password:"), statusBar1_);
    panel2_->setObjectName(QStringLiteral("Panel2"));
    statusBar1_->addWidget(panel1_, 1);
    statusBar1_->addWidget(panel2_, 1);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(Timer1IntervalMs);

    setTabOrder(listView1_, remove_);
    setTabOrder(remove_, add_);

    connect(text1_, &CommandField::changed, this, [this] { pump_.Text1_Change(); });
    connect(timer1_, &QTimer::timeout, this, [this] { pump_.Timer1_Timer(); });
    connect(add_, &QPushButton::clicked, this, [this] { pump_.Add_Click(); });
    connect(remove_, &QPushButton::clicked, this, [this] { pump_.Remove_Click(); });
    connect(listView1_->header(), &QHeaderView::sectionClicked, this,
            &DataPumpWindow::OnColumnClicked);
    connect(listView1_, &TickerListView::keyReleased, this, [this] { pump_.ListView1_KeyUp(); });
    connect(listView1_, &TickerListView::mouseReleased, this,
            [this] { pump_.ListView1_MouseUp(); });
    connect(listView1_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (model_->InCoreChange()) return;
                // The core's selected flags are what the handlers read: copy the view's
                // selection for every row it touched.
                TickerList& list = pump_.List();
                auto sync = [&](const QItemSelection& ranges) {
                    for (const QItemSelectionRange& range : ranges) {
                        for (int row = range.top(); row <= range.bottom(); ++row) {
                            if (row + 1 > list.EntryCount()) break;
                            list.SetEntrySelected(
                                row + 1, listView1_->selectionModel()->rowIntersectsSelection(
                                             row, QModelIndex()));
                        }
                    }
                };
                sync(deselected);
                sync(selected);
            });

    channel_ = new CommandChannel(this);
    channel_->SetMayDeliver([this] { return DeliverAllowed(); });
    channel_->SetDeliver([this](std::string command) { text1_->setText(std::move(command)); });
    connect(channel_, &CommandChannel::closedByPeer, this,
            [this] { Diagnostic("tarnwick: the feed library closed the command channel"); });
    connect(channel_, &CommandChannel::commandDiscarded, this, [this](std::size_t limit) {
        Diagnostic("tarnwick: a command longer than " + std::to_string(limit) +
                   " bytes was discarded");
    });

    Form_Load();
}

DataPumpWindow::~DataPumpWindow() {
    // The view, its model and the channel refer to the DataPump, which goes before the QWidget
    // base deletes its children: take them down first.
    timer1_->stop();
    delete channel_;
    channel_ = nullptr;
    delete listView1_;
    listView1_ = nullptr;
    delete model_;
    model_ = nullptr;
    ApplyMousePointer(MousePointer::Default);
}

void DataPumpWindow::Form_Load() {
    // The price, SetDataFeedhwnd with the channel's descriptor, RequireUserIDPassword.
    pump_.Form_Load(static_cast<int32_t>(channel_->HostHandle()));

    // The outer size. Before the first show no frame exists yet, so this is the design client
    // size; the minimum given to the window manager keeps the outer size above it in any case.
    const QRect frame = frameGeometry();
    minWidth_ = TwipsFromPixels(frame.width());
    minHeight_ = TwipsFromPixels(frame.height());

    // Centred on the screen, in 32-bit floats.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->geometry();
        const float screenWidth = TwipsFromPixels(area.width());
        const float screenHeight = TwipsFromPixels(area.height());
        const float top = (screenHeight - minHeight_) / 2.0f;
        const float left = (screenWidth - minWidth_) / 2.0f;
        move(area.x() + Px(left), area.y() + Px(top));
    }

    timer1_->start();
}

void DataPumpWindow::Form_Resize() {
    if (unloaded_) return;
    WindowShowState state = WindowShowState::Normal;
    if (isMinimized())
        state = WindowShowState::Minimized;
    else if (isMaximized() || isFullScreen())
        state = WindowShowState::Maximized;

    const QRect frame = frameGeometry();
    const QRect client = geometry();
    const int frameWidth = frame.width() - client.width();
    const int frameHeight = frame.height() - client.height();
    LayoutInput in;
    in.outerWidth = TwipsFromPixels(frame.width());
    in.outerHeight = TwipsFromPixels(frame.height());
    in.minWidth = minWidth_;
    in.minHeight = minHeight_;
    in.state = state;
    const auto r = FormResize(in);
    if (!r) return;

    if (r->widthCorrected || r->heightCorrected) {
        // Raises a nested pass with the corrected size; this pass goes on with that size too.
        resize(Px(r->outerWidth) - frameWidth, Px(r->outerHeight) - frameHeight);
    }
    listView1_->setGeometry(Px(ListLeftTwips), Px(ListTopTwips), std::max(0, Px(r->listWidth)),
                            std::max(0, Px(r->listHeight)));
    if (r->hideStatusBar) statusBar1_->hide();
    add_->move(add_->x(), Px(r->addTop));
    remove_->move(remove_->x(), Px(r->removeTop));
    if (r->hideAdd) add_->hide();
    if (r->hideRemove) remove_->hide();
}

void DataPumpWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void DataPumpWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Form_Resize();
}

void DataPumpWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange &&
        (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) == 0)
        Form_Resize();
}

void DataPumpWindow::closeEvent(QCloseEvent* event) {
    // The close is never refused.
    event->accept();
    if (unloaded_) return;
    unloaded_ = true;
    timer1_->stop();
    channel_->Stop();
    const int status = pump_.Form_Unload();
    if (endProcess_) endProcess_(status);
}

void DataPumpWindow::OnColumnClicked(int section) {
    pump_.ListView1_ColumnClick(section + 1);
    ShowSortIndicator();
}

void DataPumpWindow::ShowSortIndicator() {
    const TickerList& list = pump_.List();
    QHeaderView* header = listView1_->header();
    if (!list.IsSorted()) {
        header->setSortIndicatorShown(false);
        return;
    }
    header->setSortIndicator(list.SortColumn() - 1, list.CurrentSortOrder() == SortOrder::Ascending
                                                        ? Qt::AscendingOrder
                                                        : Qt::DescendingOrder);
    header->setSortIndicatorShown(true);
}

bool DataPumpWindow::DeliverAllowed() const {
    // A command's handler may pause and let events run (the second after a history request);
    // commands that arrive meanwhile are delivered inside that pause, in arrival order, so a
    // pause can nest inside a pause. Past MaxPauseNesting levels the channel only buffers: the
    // commands stay queued in order until the innermost pause returns, and the delivery loop on
    // the stack below it then carries on. Nothing is dropped, and the stack stays bounded.
    return !unloaded_ && pauseDepth_ < MaxPauseNesting;
}

std::string DataPumpWindow::ChannelText() const {
    return text1_->text();
}

void DataPumpWindow::SetChannelText(const std::string& text) {
    text1_->setText(text);
}

void DataPumpWindow::SetStatusPanelText(int panel, const std::string& text) {
    QLabel* label = panel == 1 ? panel1_ : panel == 2 ? panel2_ : nullptr;
    if (label != nullptr) label->setText(QString::fromStdString(text));
}

void DataPumpWindow::SetTimerEnabled(bool enabled) {
    if (enabled)
        timer1_->start();
    else
        timer1_->stop();
}

bool DataPumpWindow::TimerEnabled() const {
    return timer1_->isActive();
}

void DataPumpWindow::ProcessEventsFor(std::chrono::milliseconds duration) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    ++pauseDepth_;
    // Commands already buffered when the pause begins are handled inside it, like those that
    // arrive during it.
    QTimer::singleShot(0, channel_, [channel = channel_] { channel->DeliverPending(); });
    for (;;) {
        const auto elapsed = Clock::now() - start;
        if (elapsed >= duration) break;
        const auto remaining =
            std::chrono::ceil<std::chrono::milliseconds>(duration - elapsed).count();
        QEventLoop loop;
        QTimer wake;
        wake.setSingleShot(true);
        wake.setTimerType(Qt::PreciseTimer);
        connect(&wake, &QTimer::timeout, &loop, &QEventLoop::quit);
        wake.start(static_cast<int>(std::min<long long>(remaining, 1 << 30)));
        loop.exec();
    }
    --pauseDepth_;
    // Commands held back at the nesting limit continue once a pause has returned.
    if (pauseDepth_ == MaxPauseNesting - 1)
        QTimer::singleShot(0, channel_, [channel = channel_] { channel->DeliverPending(); });
}

void DataPumpWindow::Unload() {
    close();
}

void DataPumpWindow::SetMousePointer(MousePointer pointer) {
    ApplyMousePointer(pointer);
}

void DataPumpWindow::SetRemoveEnabled(bool enabled) {
    remove_->setEnabled(enabled);
}

void DataPumpWindow::SetListEnabled(bool enabled) {
    // Disabling the list moves the keyboard focus away from it, and enabling it again does not
    // bring the focus back: the list gets it back exactly when it had it before.
    if (!enabled) {
        if (listView1_->isEnabled()) listHadFocus_ = focusWidget() == listView1_;
        listView1_->setEnabled(false);
        return;
    }
    listView1_->setEnabled(true);
    if (listHadFocus_) listView1_->setFocus(Qt::OtherFocusReason);
    listHadFocus_ = false;
}

float DataPumpWindow::WindowLeftTwips() const {
    return TwipsFromPixels(frameGeometry().x());
}

float DataPumpWindow::WindowTopTwips() const {
    return TwipsFromPixels(frameGeometry().y());
}

std::unique_ptr<NewTickerDialog> DataPumpWindow::CreateNewTickerDialog() {
    return std::make_unique<DataPumpNewTicker>(
        locale_,
        [this](const std::string& title, const std::string& message) {
            ShowWarning(title, message);
        },
        this);
}

void DataPumpWindow::ShowWarning(const std::string& title, const std::string& message) {
    if (warning_) {
        warning_(title, message);
        return;
    }
    QMessageBox::warning(this, QString::fromStdString(title), QString::fromStdString(message),
                         QMessageBox::Ok);
}

void DataPumpWindow::Diagnostic(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace tarnwick
