// The command channel reader: bytes written into the feed library's end arrive as whole
// commands, in order, exactly as written; commands written while a delivered command processes
// events are delivered inside that processing; held-back commands are never lost.
#include "app/command_channel.h"

#include <unistd.h>

#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <string>
#include <vector>

using tarnwick::CommandChannel;

namespace {

// How long a wait for the reader may take: ample even in a sanitizer build on a busy machine
// (the reader needs milliseconds), and only a failing test waits that long.
constexpr int Patience = 60000;

void WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        QVERIFY(n > 0);
        done += static_cast<std::size_t>(n);
    }
}

std::string Cmd(const std::string& text) {
    return text + std::string(1, '\0');
}

}  // namespace

class CommandChannelTest : public QObject {
    Q_OBJECT

  private slots:
    void deliversEachNulTerminatedCommandInOrder() {
        CommandChannel channel;
        std::vector<std::string> got;
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        WriteAll(channel.HostHandle(), Cmd("first") + Cmd("second") + Cmd("third"));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t{3}, Patience);
        QCOMPARE(got[0], std::string("first"));
        QCOMPARE(got[1], std::string("second"));
        QCOMPARE(got[2], std::string("third"));
    }

    void joinsACommandSplitOverSeveralWrites() {
        CommandChannel channel;
        std::vector<std::string> got;
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        WriteAll(channel.HostHandle(), "AB");
        QTRY_COMPARE_WITH_TIMEOUT(channel.BufferedBytes(), std::size_t{2}, Patience);
        QVERIFY(got.empty());
        WriteAll(channel.HostHandle(), std::string("C\0D", 3));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t{1}, Patience);
        QCOMPARE(got[0], std::string("ABC"));
        WriteAll(channel.HostHandle(), std::string("E\0", 2));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t{2}, Patience);
        QCOMPARE(got[1], std::string("DE"));
        QCOMPARE(channel.BufferedBytes(), std::size_t{0});
    }

    void keepsEveryByteExactly() {
        CommandChannel channel;
        std::vector<std::string> got;
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        const std::string text = "line one\r\nline two\r\n\t\xc3\xa9\xff trailing  ";
        WriteAll(channel.HostHandle(), Cmd(text) + Cmd(""));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t{2}, Patience);
        QCOMPARE(got[0], text);
        QCOMPARE(got[1], std::string());
    }

    void manyCommandsInOneReadAllArrive() {
        CommandChannel channel;
        std::vector<std::string> got;
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        std::string bytes;
        for (int i = 0; i < 20000; ++i) bytes += Cmd("c" + std::to_string(i));
        // Written from a timer so the reader drains the socket while the writer fills it.
        std::size_t written = 0;
        QTimer writer;
        connect(&writer, &QTimer::timeout, [&] {
            const ssize_t n = ::write(channel.HostHandle(), bytes.data() + written,
                                      std::min<std::size_t>(bytes.size() - written, 4096));
            if (n > 0) written += static_cast<std::size_t>(n);
            if (written == bytes.size()) writer.stop();
        });
        writer.start(0);
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t{20000}, Patience);
        for (int i = 0; i < 20000; ++i)
            QCOMPARE(got[static_cast<std::size_t>(i)], "c" + std::to_string(i));
    }

    void commandsWrittenDuringADeliveryThatProcessesEventsArriveInsideIt() {
        CommandChannel channel;
        std::vector<std::string> log;
        bool paused = false;
        channel.SetDeliver([&](std::string c) {
            log.push_back("begin " + c);
            if (c == "A" && !paused) {
                paused = true;
                // Like the pause after a history request: events run until B has been handled.
                WriteAll(channel.HostHandle(), Cmd("B"));
                QEventLoop loop;
                QTimer deadline;
                deadline.setSingleShot(true);
                connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
                deadline.start(Patience);
                QTimer poll;
                connect(&poll, &QTimer::timeout, [&] {
                    if (log.size() >= 2) loop.quit();
                });
                poll.start(1);
                loop.exec();
            }
            log.push_back("end " + c);
        });
        WriteAll(channel.HostHandle(), Cmd("A"));
        QTRY_COMPARE_WITH_TIMEOUT(log.size(), std::size_t{4}, Patience);
        const std::vector<std::string> expected = {"begin A", "begin B", "end B", "end A"};
        QCOMPARE(log, expected);
    }

    void heldBackCommandsWaitInOrderAndAreNotLost() {
        CommandChannel channel;
        bool allowed = false;
        std::vector<std::string> got;
        channel.SetMayDeliver([&] { return allowed; });
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        WriteAll(channel.HostHandle(), Cmd("1") + Cmd("2") + Cmd("3"));
        QTRY_COMPARE_WITH_TIMEOUT(channel.BufferedBytes(), std::size_t{6}, Patience);
        QVERIFY(got.empty());
        allowed = true;
        channel.DeliverPending();
        const std::vector<std::string> expected = {"1", "2", "3"};
        QCOMPARE(got, expected);
    }

    void deliveryStopsWhenHeldBackMidwayAndResumes() {
        // Delivery is refused after the first command (as at the pause nesting limit): the rest
        // stays buffered, and the next allowed delivery continues with the second.
        CommandChannel channel;
        int budget = 1;
        std::vector<std::string> got;
        channel.SetMayDeliver([&] { return budget > 0; });
        channel.SetDeliver([&](std::string c) {
            --budget;
            got.push_back(std::move(c));
        });
        WriteAll(channel.HostHandle(), Cmd("x") + Cmd("y") + Cmd("z"));
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), std::size_t{1}, Patience);
        QCOMPARE(channel.BufferedBytes(), std::size_t{4});
        budget = 10;
        channel.DeliverPending();
        const std::vector<std::string> expected = {"x", "y", "z"};
        QCOMPARE(got, expected);
    }

    void endOfFileStopsWatching() {
        CommandChannel channel;
        std::vector<std::string> got;
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        QSignalSpy closed(&channel, &CommandChannel::closedByPeer);
        WriteAll(channel.HostHandle(), Cmd("last") + "partial");
        ::close(channel.HostHandle());  // the library closes its end
        QTRY_COMPARE_WITH_TIMEOUT(closed.count(), 1, Patience);
        QCOMPARE(got.size(), std::size_t{1});
        QCOMPARE(got[0], std::string("last"));
        QVERIFY(!channel.Watching());
        QCOMPARE(channel.HostHandle(), -1);  // not closed a second time
    }

    void overLongCommandsAreDiscardedAndTheReaderResynchronises_data() {
        // Each write is read at once; the channel keeps commands of up to 20 bytes.
        QTest::addColumn<QByteArrayList>("writes");
        QTest::addColumn<QByteArrayList>("delivered");
        QTest::addColumn<int>("discarded");
        const QByteArray unload("*****UnloadEXE*****\0", 20);
        const QByteArray x30(30, 'x');
        QTest::newRow("in one write")
            << QByteArrayList{QByteArray("a\0", 2) + x30 + QByteArray("\0b\0", 3) + unload}
            << QByteArrayList{"a", "b", "*****UnloadEXE*****"} << 1;
        QTest::newRow("its NUL in a later write")
            << QByteArrayList{QByteArray("a\0", 2) + x30, x30, QByteArray("xx\0b\0", 5), unload}
            << QByteArrayList{"a", "b", "*****UnloadEXE*****"} << 1;
        QTest::newRow("grown past the limit over writes")
            << QByteArrayList{QByteArray(15, 'x'), QByteArray(15, 'x'), QByteArray("\0", 1), unload}
            << QByteArrayList{"*****UnloadEXE*****"} << 1;
        QTest::newRow("two in a row")
            << QByteArrayList{x30 + QByteArray("\0", 1) + x30 + QByteArray("\0c\0", 3)}
            << QByteArrayList{"c"} << 2;
        QTest::newRow("exactly the limit is kept")
            << QByteArrayList{QByteArray(20, 'y') + QByteArray("\0", 1)}
            << QByteArrayList{QByteArray(20, 'y')} << 0;
    }

    void overLongCommandsAreDiscardedAndTheReaderResynchronises() {
        QFETCH(QByteArrayList, writes);
        QFETCH(QByteArrayList, delivered);
        QFETCH(int, discarded);
        CommandChannel channel(nullptr, 20);
        QByteArrayList got;
        channel.SetDeliver([&](std::string c) { got.push_back(QByteArray::fromStdString(c)); });
        QSignalSpy dropped(&channel, &CommandChannel::commandDiscarded);
        for (const QByteArray& bytes : writes) {
            WriteAll(channel.HostHandle(), bytes.toStdString());
            channel.ReadAvailable();
        }
        QCOMPARE(got, delivered);
        QCOMPARE(dropped.count(), discarded);
        QCOMPARE(channel.BufferedBytes(), std::size_t{0});
        QVERIFY(channel.Watching());
    }

    void stoppedChannelDeliversNothing() {
        CommandChannel channel;
        std::vector<std::string> got;
        channel.SetDeliver([&](std::string c) { got.push_back(std::move(c)); });
        channel.Stop();
        WriteAll(channel.HostHandle(), Cmd("ignored"));
        channel.ReadAvailable();
        channel.DeliverPending();
        QVERIFY(got.empty());
    }
};

QTEST_GUILESS_MAIN(CommandChannelTest)
#include "command_channel_test.moc"
