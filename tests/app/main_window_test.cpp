// The main window under the offscreen platform, driving the real DataPump against a recording
// host feed: loading, layout rules, shutdown, the command channel, list view events and the Add
// Symbol path through the real dialog.
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/command_field.h"
#include "app/data_pump_window.h"
#include "app/new_ticker_dialog.h"
#include "shell/layout_rules.h"
#include "tests/support/fixed_date_locales.h"
#include "tests/support/recording_host_feed.h"
#include "tickers/date_text.h"

using tarnwick::DataPumpWindow;
using tarnwick::DateLocale;
using tarnwick::TickerEntry;
using tarnwick::testing::ManualClock;
using tarnwick::testing::RecordingHostFeed;

namespace {

// How long a wait for the window's reaction may take: ample even when the machine is busy with
// other tests, and only a failing test waits that long.
constexpr int Patience = 120000;

std::string Cmd(const std::string& text) {
    return text + std::string(1, '\0');
}

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        QVERIFY(n > 0);
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> folder;
    RecordingHostFeed feed;
    // Two hours into 1 January 2003: a history from that day is short.
    ManualClock clock{tarnwick::DayNumberOf(2003, 1, 1) + 0.5};
    std::unique_ptr<DataPumpWindow> window;
    std::optional<int> endStatus;
    std::vector<std::pair<std::string, std::string>> warnings;
    std::vector<std::size_t> emptiedAt;  // feed.calls.size() whenever Text1 was emptied

    QWidget* W(const char* name) {
        auto* w = window->findChild<QWidget*>(QString::fromLatin1(name));
        if (w == nullptr) qFatal("no child %s", name);
        return w;
    }
    QTreeView* List() { return static_cast<QTreeView*>(W("ListView1")); }
    QString Cell(int row, int column) {
        return List()->model()->index(row, column).data().toString();
    }
    int ChannelHandle() {
        const auto lines = feed.Named("SetDataFeedhwnd");
        if (lines.empty()) return -1;
        return std::stoi(lines.front().substr(lines.front().find('\t') + 1));
    }
    // Frame and caption size the platform reports (the offscreen platform draws a thin frame).
    int FrameW() { return window->frameGeometry().width() - window->geometry().width(); }
    int FrameH() { return window->frameGeometry().height() - window->geometry().height(); }
    static int Px(int twips) { return tarnwick::PixelsFromTwips(static_cast<float>(twips)); }
    // Waits until n commands have been consumed (Text1 emptied after each).
    void WaitForEmptied(std::size_t n) { QTRY_COMPARE_WITH_TIMEOUT(emptiedAt.size(), n, Patience); }
    std::string ListFile() { return (folder->path() + "/Tarnwick List.DAT").toStdString(); }
    void AddRow(const char* symbol, const char* start = "01/01/2003", const char* bar = "1") {
        window->Pump().List().AppendEntry(TickerEntry{symbol, "Desc", "Stock", start, bar});
    }

  private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        QVERIFY(folder->isValid());
        feed = RecordingHostFeed();
        endStatus.reset();
        warnings.clear();
        window = std::make_unique<DataPumpWindow>(feed, clock, tarnwick::EnUSLocale(),
                                                  folder->path().toStdString());
        window->SetEndProcess([this](int status) { endStatus = status; });
        emptiedAt.clear();
        auto* text1 = window->findChild<tarnwick::CommandField*>(QStringLiteral("Text1"));
        connect(text1, &tarnwick::CommandField::changed, window.get(), [this, text1] {
            // The handler empties the field from inside the change event, so this slot sees the
            // empty text twice per command (in the nested and in the outer emission), with no host
            // call between them: count it once.
            if (text1->text().empty() &&
                (emptiedAt.empty() || emptiedAt.back() != feed.calls.size()))
                emptiedAt.push_back(feed.calls.size());
        });
        window->SetWarningSeam(
            [this](const std::string& t, const std::string& m) { warnings.emplace_back(t, m); });
    }

    void cleanup() {
        window.reset();
        folder.reset();
    }

    void loadingRegistersTheChannelThenAsksForCredentials() {
        QCOMPARE(feed.calls.size(), std::size_t{2});
        QVERIFY(feed.calls[0].rfind("SetDataFeedhwnd\t", 0) == 0);
        QVERIFY(ChannelHandle() > 0);
        QCOMPARE(feed.calls[1], std::string("RequireUserIDPassword"));
        QCOMPARE(window->Pump().Prices().Generator().LastPrice, 30.0);
        QCOMPARE(window->MinWidth(), 7485.0f);
        QCOMPARE(window->MinHeight(), 3630.0f);
    }

    void windowAndControlsAsDesigned() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Tarnwick"));
        QCOMPARE(window->size(), QSize(499, 242));
        QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        auto* remove = static_cast<QPushButton*>(W("Remove"));
        QCOMPARE(remove->text(), QStringLiteral("&Remove Symbol(s)"));
        QVERIFY(!remove->isEnabled());
        QCOMPARE(static_cast<QPushButton*>(W("Add"))->text(), QStringLiteral("&Add Symbol"));
        auto* text1 = static_cast<tarnwick::CommandField*>(W("Text1"));
        QVERIFY(text1->isHidden());
        QCOMPARE(text1->text(), std::string("Text1 - Used to receive \r\ncommands from the \r\n"
                                            "datapump.  Hidden \r\nwhen the program is run\r\n"));
        QCOMPARE(static_cast<QLabel*>(W("Panel1"))->text(), QStringLiteral("UserID:"));
        QCOMPARE(static_cast<QLabel*>(W("Panel2"))->text(), QStringLiteral("Password:"));
        auto* timer = window->findChild<QTimer*>(QStringLiteral("Timer1"));
        QVERIFY(timer != nullptr);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 500);

        QTreeView* list = List();
        QVERIFY(!list->rootIsDecorated());
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
        QVERIFY(!list->isSortingEnabled());
        const char* captions[] = {"Symbol", "Description", "Category", "Start Date",
                                  "Bar Interval"};
        const int widths[] = {50, 100, 133, 50, 50};
        QCOMPARE(list->model()->columnCount(), 5);
        for (int c = 0; c < 5; ++c) {
            QCOMPARE(list->model()->headerData(c, Qt::Horizontal).toString(),
                     QString::fromLatin1(captions[c]));
            // The design widths, or wider where the font cannot show a caption or date in them
            // (see columnsShowTheirCaptionsAndDates).
            QVERIFY2(list->columnWidth(c) >= widths[c], captions[c]);
        }
        QCOMPARE(list->columnWidth(1), widths[1]);
        QCOMPARE(list->columnWidth(2), widths[2]);
        // Tab order: the list, Remove, Add (the list's own viewport and scroll bars between them
        // take no tab focus).
        std::vector<QString> order;
        for (QWidget* w = list; order.size() < 3; w = w->nextInFocusChain()) {
            if (w == list || (w->focusPolicy() & Qt::TabFocus && !list->isAncestorOf(w)))
                order.push_back(w->objectName());
        }
        QCOMPARE(order, (std::vector<QString>{"ListView1", "Remove", "Add"}));
    }

    void columnsShowTheirCaptionsAndDates() {
        QTreeView* list = List();
        const QFontInfo font(list->font());
        QCOMPARE(font.pixelSize(), 11);
        if (QFontDatabase::families().contains(QStringLiteral("Liberation Sans")))
            QCOMPARE(font.family(), QStringLiteral("Liberation Sans"));
        // Every caption fits the label area its section leaves beside the sort arrow.
        QHeaderView* header = list->header();
        for (int c = 0; c < 5; ++c) {
            QStyleOptionHeader option;
            option.initFrom(header);
            option.state |= QStyle::State_Horizontal;
            option.orientation = Qt::Horizontal;
            option.sortIndicator = QStyleOptionHeader::SortUp;
            option.rect = QRect(0, 0, list->columnWidth(c), header->sizeHint().height());
            const QRect label =
                header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
            const QString caption = list->model()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(header->fontMetrics().horizontalAdvance(caption) <= label.width(),
                     qPrintable(caption));
        }
        // The widest dates fit their cells: the style's text area of the cell, less the text
        // margins it keeps on either side, holds them, as entered and as a sort writes them.
        auto dateFits = [&](int row) {
            QStyleOptionViewItem option;
            option.initFrom(list);
            option.features |= QStyleOptionViewItem::HasDisplay;
            option.text = Cell(row, 3);
            option.rect = QRect(0, 0, list->columnWidth(3), 20);
            const QRect text =
                list->style()->subElementRect(QStyle::SE_ItemViewItemText, &option, list);
            const int margin =
                list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
            return list->fontMetrics().horizontalAdvance(option.text) <= text.width() - 2 * margin;
        };
        AddRow("A", "12/31/2026");
        AddRow("B", "12/28/2026");
        QVERIFY(dateFits(0));
        window->Pump().ListView1_ColumnClick(4);
        QCOMPARE(Cell(0, 3), QStringLiteral("12/28/2026"));
        QVERIFY(dateFits(0));
        QVERIFY(dateFits(1));
    }

    void firstShowHidesButtonsAndStatusBarForGood() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), Patience));
        QVERIFY(!W("Add")->isVisible());
        QVERIFY(!W("Remove")->isVisible());
        QVERIFY(!W("StatusBar1")->isVisible());
        QVERIFY(List()->isVisible());
        // The rules work on the outer size: the list is (outer width - 360) by (outer height -
        // 700) twips, whatever frame the platform draws.
        QCOMPARE(List()->geometry(), QRect(8, 8, 475 + FrameW(), Px(2930 + 15 * FrameH())));
        QCOMPARE(W("Add")->y(), Px(3155 + 15 * FrameH()));
        QCOMPARE(W("Remove")->y(), W("Add")->y());
        QCOMPARE(W("Add")->x(), 8);
        QCOMPARE(W("Remove")->x(), 160);

        window->resize(700, 400);
        QTRY_COMPARE_WITH_TIMEOUT(List()->geometry(),
                                  QRect(8, 8, 676 + FrameW(), Px(6000 - 700 + 15 * FrameH())),
                                  Patience);
        QCOMPARE(W("Add")->y(), Px(6000 - 475 + 15 * FrameH()));
        QVERIFY(!W("Add")->isVisible());
        QVERIFY(!W("Remove")->isVisible());
        QVERIFY(!W("StatusBar1")->isVisible());

        // Never smaller than at start.
        window->resize(100, 100);
        QTRY_COMPARE_WITH_TIMEOUT(window->size(), QSize(499, 242), Patience);
        QCOMPARE(List()->geometry(), QRect(8, 8, 475 + FrameW(), Px(2930 + 15 * FrameH())));
    }

    void minimizedOrMaximizedKeepsTheLastNormalLayout() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), Patience));
        window->resize(600, 300);
        QTRY_COMPARE_WITH_TIMEOUT(List()->width(), 576 + FrameW(), Patience);
        const QRect normal = List()->geometry();
        window->showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(window->isMaximized(), Patience);
        QCOMPARE(List()->geometry(), normal);
        window->showNormal();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isMaximized(), Patience);
        QVERIFY(!W("Add")->isVisible());
        QVERIFY(!W("StatusBar1")->isVisible());
    }

    void closingWithoutChangesLeavesTheListFileAndWithdrawsTheChannelLast() {
        {
            QFile f(QString::fromStdString(ListFile()));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old bytes\r\n");
        }
        window->show();
        QVERIFY(window->close());
        QCOMPARE(endStatus, std::optional<int>(0));
        QCOMPARE(feed.calls.back(), std::string("SetDataFeedhwnd\t0"));
        QFile f(QString::fromStdString(ListFile()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old bytes\r\n"));
        QVERIFY(window->Unloaded());
        // A second close runs no second unload.
        const auto calls = feed.calls.size();
        window->close();
        QCOMPARE(feed.calls.size(), calls);
    }

    void closingAfterAHostRequestWritesTheListFile() {
        window->show();
        WriteAll(
            ChannelHandle(),
            Cmd("ABC!@#Alpha!@#Stock!@#1!@#01/01/2003!@#Date/Time,Open,High,Low,Close,Volume"));
        WaitForEmptied(1);
        QCOMPARE(window->PauseDepth(), 0);
        QCOMPARE(List()->model()->rowCount(), 1);
        QCOMPARE(Cell(0, 0), QStringLiteral("ABC"));
        QCOMPARE(Cell(0, 3), QStringLiteral("01/01/2003"));
        QVERIFY(window->Pump().ListChanged());
        QVERIFY(static_cast<tarnwick::CommandField*>(W("Text1"))->text().empty());
        window->close();
        QCOMPARE(endStatus, std::optional<int>(0));
        QCOMPARE(feed.calls.back(), std::string("SetDataFeedhwnd\t0"));
        QFile f(QString::fromStdString(ListFile()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("ABC!@#Alpha!@#Stock!@#01/01/2003!@#1\r\n"));
    }

    void unloadCommandClosesThroughTheNormalPath() {
        window->show();
        WriteAll(ChannelHandle(), Cmd("*****UnloadEXE*****"));
        QTRY_VERIFY_WITH_TIMEOUT(endStatus.has_value(), Patience);
        QCOMPARE(*endStatus, 0);
        QCOMPARE(feed.calls.back(), std::string("SetDataFeedhwnd\t0"));
        QVERIFY(!QFile::exists(QString::fromStdString(ListFile())));
    }

    void credentialsCommandFillsTheStatusPanels() {
        feed.credentials = [](std::string& user, std::string& password) {
            user.replace(0, 3, "abc");
            password = "ab";
        };
        WriteAll(ChannelHandle(), Cmd("*****UserIDPassword*****"));
        QTRY_COMPARE_WITH_TIMEOUT(static_cast<QLabel*>(W("Panel1"))->text(),
                                  QStringLiteral("UserID: abc"), Patience);
        // Replaced as a whole (no NUL): filled up with spaces to 21 characters.
        QCOMPARE(static_cast<QLabel*>(W("Panel2"))->text(), "Password: ab" + QString(19, u' '));
        QVERIFY(static_cast<tarnwick::CommandField*>(W("Text1"))->text().empty());
    }

    void commandsArrivingDuringThePauseAreHandledInsideIt() {
        feed.credentials = [](std::string& user, std::string&) { user.replace(0, 1, "u"); };
        bool written = false;
        feed.onCall = [&](const std::string& line) {
            if (!written && line.rfind("ORBCOMMITROW", 0) == 0) {
                // Written while the transfer runs: read during the pause that follows it.
                written = true;
                WriteAll(ChannelHandle(), Cmd("*****UserIDPassword*****"));
            }
        };
        WriteAll(ChannelHandle(),
                 Cmd("ABC!@#Alpha!@#Stock!@#1!@#01/01/2003!@#Date/Time,Close,Volume"));
        WaitForEmptied(2);  // the credentials command inside, then the history request
        std::size_t credentialsAt = 0;
        std::size_t lastCommitAt = 0;
        std::size_t completionAt = 0;
        for (std::size_t i = 0; i < feed.calls.size(); ++i) {
            const std::string& c = feed.calls[i];
            if (c.rfind("GetUserIDPassword", 0) == 0) credentialsAt = i + 1;
            if (c.rfind("ORBCOMMITROW\tABC", 0) == 0 && credentialsAt == 0) lastCommitAt = i + 1;
            if (c == "UpdatePercent\t100") completionAt = i + 1;
        }
        QVERIFY(credentialsAt != 0);
        QVERIFY(lastCommitAt < credentialsAt);  // not before the transfer had ended
        QVERIFY(credentialsAt < completionAt);  // but before the request reported completion
        QVERIFY(emptiedAt[0] < emptiedAt[1]);
        QCOMPARE(static_cast<QLabel*>(W("Panel1"))->text(), QStringLiteral("UserID: u"));
        QCOMPARE(window->PauseDepth(), 0);
    }

    void pausesNestAtMostEightDeepAndHeldCommandsFollowInOrder() {
        // Ten requests at once: each one's pause takes the next one in, until eight pauses are
        // nested; the last two wait in the channel and are handled, in order, once an inner
        // pause has returned.
        int maxDepth = 0;
        feed.onCall = [&](const std::string&) {
            maxDepth = std::max(maxDepth, window->PauseDepth());
        };
        std::string bytes;
        for (int i = 0; i < 10; ++i)
            bytes += Cmd("S" + std::to_string(i) +
                         "!@#D!@#Stock!@#1!@#01/01/2003!@#Date/Time,Close,Volume");
        WriteAll(ChannelHandle(), bytes);
        WaitForEmptied(10);
        QCOMPARE(window->PauseDepth(), 0);
        QVERIFY(maxDepth >= DataPumpWindow::MaxPauseNesting - 1);
        QVERIFY(maxDepth <= DataPumpWindow::MaxPauseNesting);
        QCOMPARE(List()->model()->rowCount(), 10);
        for (int i = 0; i < 10; ++i) QCOMPARE(Cell(i, 0), QStringLiteral("S%1").arg(i));
        QCOMPARE(feed.Named("ORBSETUPDATA").size(), std::size_t{10});
    }

    void aFloodDuringThePauseIsHandledCompletelyAndInOrder() {
        // 10,000 remove commands written by another thread while a history request runs: the
        // reader takes them in as they come, during the pause and after it, and none is lost.
        constexpr int Flood = 10000;
        std::vector<std::string> sent;
        for (int i = 0; i < Flood; ++i) {
            AddRow(("S" + std::to_string(i)).c_str());
            sent.push_back("*****RemoveTicker*****!@#S" + std::to_string(i) + "!@#1");
        }
        // Each command removes its own row: the order of removals is the order of handling.
        std::vector<std::string> removed;
        connect(List()->model(), &QAbstractItemModel::rowsAboutToBeRemoved, window.get(),
                [&](const QModelIndex&, int first, int) {
                    removed.push_back(Cell(first, 0).toStdString());
                });
        std::thread writer;
        const int channel = ChannelHandle();
        feed.onCall = [&](const std::string& line) {
            if (!writer.joinable() && line.rfind("ORBCOMMITROW", 0) == 0) {
                writer = std::thread([&sent, channel] {
                    std::string bytes;
                    for (const std::string& c : sent) bytes += Cmd(c);
                    WriteAll(channel, bytes);
                });
            }
        };
        WriteAll(channel, Cmd("ABC!@#Alpha!@#Stock!@#1!@#01/01/2003!@#Date/Time,Close,Volume"));
        QTRY_COMPARE_WITH_TIMEOUT(removed.size(), std::size_t{Flood}, 2 * Patience);
        writer.join();
        for (int i = 0; i < Flood; ++i) QCOMPARE(removed[i], "S" + std::to_string(i));
        QCOMPARE(List()->model()->rowCount(), 1);  // only ABC is left
        QCOMPARE(Cell(0, 0), QStringLiteral("ABC"));
        // The request reported its completion last of its reports. Timer1 runs on, so live rows
        // of ABC may follow the report: it need not be the last call of all (on a busy machine
        // the flood outlasts the pause and timer events come between).
        QTRY_VERIFY_WITH_TIMEOUT(!feed.percents.empty() && feed.percents.back() == 100, Patience);
        const auto report =
            std::find(feed.calls.rbegin(), feed.calls.rend(), std::string("UpdatePercent\t100"));
        QVERIFY(report != feed.calls.rend());
        QVERIFY(std::none_of(feed.calls.rbegin(), report, [](const std::string& c) {
            return c.rfind("ORBSETUPDATA", 0) == 0 || c.rfind("UpdatePercent", 0) == 0;
        }));
    }

    void headerClicksSortThroughTheCore() {
        AddRow("MSFT");
        AddRow("ABC");
        AddRow("XYZ");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), Patience));
        QHeaderView* header = List()->header();
        auto clickHeader = [&](int section) {
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        clickHeader(0);  // the sort column starts as Symbol: the first click sorts descending
        QCOMPARE(Cell(0, 0), QStringLiteral("XYZ"));
        QCOMPARE(Cell(1, 0), QStringLiteral("MSFT"));
        QCOMPARE(Cell(2, 0), QStringLiteral("ABC"));
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        clickHeader(0);
        QCOMPARE(Cell(0, 0), QStringLiteral("ABC"));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
        QCOMPARE(window->Pump().List().EntryAt(1).Symbol, std::string("ABC"));
        QVERIFY(List()->isEnabled());
    }

    void sortingByStartDateRewritesTheDatesInTheView() {
        AddRow("A", "03/05/2003");
        AddRow("B", "12/01/2002");
        window->show();
        QHeaderView* header = List()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(3) + 5, header->height() / 2));
        QCOMPARE(Cell(0, 0), QStringLiteral("B"));
        QCOMPARE(Cell(0, 3), QStringLiteral("12/1/2002"));
        QCOMPARE(Cell(1, 3), QStringLiteral("3/5/2003"));
        QCOMPARE(header->sortIndicatorSection(), 3);
    }

    void aSortKeepsTheListsFocus_data() {
        QTest::addColumn<bool>("focused");
        QTest::addColumn<bool>("headerClick");
        // A click on a header gives the list the focus before the sort runs.
        QTest::newRow("header click") << false << true;
        QTest::newRow("sorted while the list had the focus") << true << false;
        QTest::newRow("sorted while it had not") << false << false;
    }

    void aSortKeepsTheListsFocus() {
        QFETCH(bool, focused);
        QFETCH(bool, headerClick);
        AddRow("B");
        AddRow("A");
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get(), Patience));
        QTreeView* list = List();
        if (focused)
            list->setFocus(Qt::OtherFocusReason);
        else
            list->clearFocus();
        QCOMPARE(list->hasFocus(), focused);
        if (headerClick) {
            QHeaderView* header = list->header();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
        } else {
            window->Pump().ListView1_ColumnClick(1);
        }
        QCOMPARE(Cell(0, 0), QStringLiteral("B"));  // sorted (descending first)
        const bool expectFocus = focused || headerClick;
        QCOMPARE(list->hasFocus(), expectFocus);
        if (!expectFocus) return;
        // The arrow keys work at once: Down moves the current row.
        list->setCurrentIndex(list->model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex().row(), 1);
    }

    void selectionFollowsTheRowsThroughASort() {
        AddRow("B");
        AddRow("A");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), Patience));
        QTreeView* list = List();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(0, 0)).center());
        QVERIFY(window->Pump().List().IsEntrySelected(1));
        window->Pump().ListView1_ColumnClick(2);  // by Description: all equal, order kept
        window->Pump().ListView1_ColumnClick(1);  // Symbol ascending: A, B
        QCOMPARE(Cell(0, 0), QStringLiteral("A"));
        QVERIFY(window->Pump().List().IsEntrySelected(2));
        QVERIFY(!window->Pump().List().IsEntrySelected(1));
        QVERIFY(list->selectionModel()->isRowSelected(1, QModelIndex()));
        QVERIFY(!list->selectionModel()->isRowSelected(0, QModelIndex()));
    }

    void removeFollowsTheSelectionOnReleases() {
        AddRow("AAA");
        AddRow("BBB");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), Patience));
        QTreeView* list = List();
        auto* remove = static_cast<QPushButton*>(W("Remove"));
        QVERIFY(!remove->isEnabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(1, 0)).center());
        QVERIFY(window->Pump().List().IsEntrySelected(2));
        QVERIFY(!window->Pump().List().IsEntrySelected(1));
        QVERIFY(remove->isEnabled());
        // Ctrl+Space toggles the current row off; the key release disables Remove.
        QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(!window->Pump().List().AnyEntrySelected());
        QVERIFY(!remove->isEnabled());
        // Selecting both and removing through the core empties the view.
        list->selectAll();
        QTest::keyClick(list, Qt::Key_Shift);
        QVERIFY(remove->isEnabled());
        window->Pump().Remove_Click();
        QCOMPARE(list->model()->rowCount(), 0);
        QVERIFY(!remove->isEnabled());
        QVERIFY(window->Pump().ListChanged());
    }

    void addSymbolThroughTheRealDialog() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get(), Patience));
        window->move(150, 100);
        QTRY_COMPARE_WITH_TIMEOUT(window->frameGeometry().topLeft(), QPoint(150, 100), Patience);
        QPoint dialogAt;
        QTimer::singleShot(0, window.get(), [&] {
            auto* dialog =
                qobject_cast<tarnwick::DataPumpNewTicker*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            dialogAt = dialog->frameGeometry().topLeft();
            QVERIFY(QApplication::overrideCursor() == nullptr);
            dialog->findChild<QLineEdit*>(QStringLiteral("Symbol"))->setText("XYZ");
            dialog->findChild<QLineEdit*>(QStringLiteral("SymbolName"))->setText("Xylo");
            dialog->findChild<QComboBox*>(QStringLiteral("Category"))->setCurrentIndex(1);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")),
                              Qt::LeftButton);
        });
        QTimer failSafe;
        failSafe.setSingleShot(true);
        connect(&failSafe, &QTimer::timeout, [] {
            if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
        });
        failSafe.start(20000);
        window->Pump().Add_Click();
        QCOMPARE(dialogAt, QPoint(150 + 33, 100 + 33));  // 500 twips to the right and down
        QCOMPARE(List()->model()->rowCount(), 1);
        QCOMPARE(Cell(0, 0), QStringLiteral("XYZ"));
        QCOMPARE(Cell(0, 2), QStringLiteral("Stock"));
        QVERIFY(window->Pump().ListChanged());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!feed.Named("ORBSETUPDATA").empty());
    }

    void warningsGoThroughTheSeam() {
        window->ShowWarning("Title", "Message");
        QCOMPARE(warnings.size(), std::size_t{1});
        QCOMPARE(warnings[0].first, std::string("Title"));
        QCOMPARE(warnings[0].second, std::string("Message"));
        auto dialog = window->CreateNewTickerDialog();
        static_cast<tarnwick::DataPumpNewTicker*>(dialog.get())->OK_Click();
        QCOMPARE(warnings.size(), std::size_t{2});
        QCOMPARE(warnings[1].first, std::string("Add New Ticker Symbol"));
        QCOMPARE(warnings[1].second,
                 std::string("You must enter a symbol to add a new ticker symbol."));
    }

    void mousePointerMapsToOneOverride() {
        window->SetMousePointer(tarnwick::MousePointer::Busy);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        window->SetMousePointer(tarnwick::MousePointer::Arrow);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::ArrowCursor);
        window->SetMousePointer(tarnwick::MousePointer::Default);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // Timer1 really fires: a listed symbol gets live rows from the timer alone; stopping it stops
    // the Qt timer itself, and starting it again brings the rows back.
    void timer1FiresWhileEnabled() {
        auto* timer = window->findChild<QTimer*>(QStringLiteral("Timer1"));
        auto commits = [this] { return feed.Named("ORBCOMMITROW").size(); };
        AddRow("ABC");
        QTRY_VERIFY_WITH_TIMEOUT(commits() >= 2, Patience);
        window->SetTimerEnabled(false);
        QVERIFY(!window->TimerEnabled());
        QVERIFY(!timer->isActive());
        const std::size_t stopped = commits();
        window->SetTimerEnabled(true);
        QVERIFY(timer->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(commits() > stopped, Patience);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
