// The status channel end to end: the tool's UpgradeEventFilter in this process,
// the stand-in upgrade program started as the tool starts it (ProcessInfo), and
// impostors (the stand-in started otherwise, raw peers of this process) on the
// other end of the real local socket; and a bare StatusChannel's care of its
// peers. What it makes of arbitrary bytes and of its gate's answers:
// fuzz_statuschannel.
#include "ProcessInfo.h"
#include "StatusChannel.h"
#include "StatusFrame.h"
#include "UpgradeEventFilter.h"
#include "UpgradeProgram.h"
#include "TestWorld.h"
#include "TextFiles.h"

#include <QLocalSocket>
#include <QtTest>

#include <algorithm>
#include <signal.h>
#include <vector>

namespace {

// The tool in a world of its own with every value "statsu" took, and the
// stand-in started as the wizard starts it, with a scenario and a handle.
struct Tool {
    Tool()
    {
        filter.setProgram(process.upgradeProgram());
        QObject::connect(&filter, &UpgradeEventFilter::statusChanged, [this] { published << statsu(); });
    }
    ~Tool()
    {
        // The programs lead sessions of their own and outlive the tool: end them.
        for (const QString &pid : world.recorded("pid"))
            ::kill(-pid.toInt(), SIGKILL);
    }
    QString statsu() const { return filter.result().value("statsu").toString(); }
    StatusChannel *channel() const { return filter.findChild<StatusChannel *>(); }
    bool startStandIn(const QString &scenario, const QString &handle)
    {
        qputenv("UPVANE_UPGRADER_SCENARIO", scenario.toUtf8());
        qputenv("UPVANE_UPGRADER_HANDLE", handle.toUtf8());
        QFile::remove(world.appDataDir() + "/upgrade.exe");
        return QFile::copy(TestWorld::standIn(), world.appDataDir() + "/upgrade.exe") && process.openProcess("upgrade.exe", 3);
    }

    TestWorld world;
    ProcessInfo process;
    UpgradeEventFilter filter;
    QStringList published;
};

// A bare channel and every frame it took, as "<bytes>:<handle>".
struct Channel {
    Channel()
    {
        QObject::connect(&channel, &StatusChannel::received,
                         [this](const QByteArray &bytes, qint32 handle) { received << bytes + ':' + QByteArray::number(handle); });
    }
    TestWorld world;
    StatusChannel channel;
    QList<QByteArray> received;
};

// A peer written by hand, for what the stand-in would never send.
struct RawPeer : QLocalSocket {
    RawPeer() { connectToServer(StatusChannel::address()); waitForConnected(5000); }
    void send(const QByteArray &bytes) { write(bytes); flush(); }
};

}

// The stand-in's scenario; what is published (with handle 6); the replies it
// gets; how it ended when given up (empty: not given up); a log line, as a pattern.
struct RunRow { QString scenario; QStringList published, replies; QString lost, logged; };
Q_DECLARE_METATYPE(RunRow)

class tst_UpgradeEventFilter : public QObject
{
    Q_OBJECT

private slots:
    // The wizard's part: code 3 is answered with a device path, 4 with "0"; each
    // status is published with its sender's handle, a burst's too, in order. What
    // the program sends after its final report (0, 1 or 2; an empty code counts
    // as 0) is no longer taken. A program that ends wholly without its final
    // report is given up within about two seconds, saying how it ended; one whose
    // child reports after it has ended is not.
    void standInRunsThrough_data()
    {
        QTest::addColumn<RunRow>("row");
        using L = QStringList;
        QTest::newRow("non-ASCII path, then a burst of 4 and 1")
            << RunRow{"3 4+1", L{"3:6", "4:6", "1:6"}, L{"/dev/h\u00e9|", "0|"}, "", ""};
        QTest::newRow("empty text") << RunRow{"hex:", L{":6"}, L(), "", ""};
        QTest::newRow("counted NUL kept")
            << RunRow{"hex:3100 1", L{QString::fromUtf8("1\0:6", 4), "1:6"}, L(), "", R"(^Status "1%00" from upgrade program process \d+ \(handle 6\) taken$)"};
        QTest::newRow("after the final report, in the same burst") << RunRow{"1+hex:33", L{"1:6"}, L(), "", ""};
        QTest::newRow("after a failure report") << RunRow{"2 pause:200 hex:33 hex:31", L{"2:6"}, L(), "", ""};
        QTest::newRow("its child reports after it ended") << RunRow{"child pause:2500 1", L{"1:6"}, L(), "", ""};
        QTest::newRow("ends without a report") << RunRow{"exit", L(), L(), "exit code 0", ""};
        QTest::newRow("killed") << RunRow{"pause:0 crash", L(), L(), "signal 9", ""};
    }

    void standInRunsThrough()
    {
        QFETCH(RunRow, row);
        if (!row.logged.isEmpty())
            QTest::ignoreMessage(QtInfoMsg, QRegularExpression(row.logged));
        Tool tool;
        connect(&tool.filter, &UpgradeEventFilter::statusChanged, this, [&tool] {
            const QStringList fields = tool.statsu().split(':');
            if (fields.value(0) == "3" || fields.value(0) == "4")
                tool.filter.sendDeviceInfo(fields.value(0) == "3" ? "/dev/h\u00e9" : "0", fields.value(1).toInt());
        });
        // Each status is published later (100 ms): none was when the first arrived.
        QStringList atArrival;
        connect(tool.channel(), &StatusChannel::received, this, [&] { atArrival << tool.statsu(); });
        QSignalSpy refused(tool.channel(), &StatusChannel::refused);
        QSignalSpy lostSpy(&tool.process, &ProcessInfo::upgradeProgramLost);
        if (!row.lost.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Upgrade program \\d+ ended without a final report$"));
        QVERIFY(tool.startStandIn(row.scenario, "6"));
        QTRY_VERIFY_WITH_TIMEOUT(QStringList({"exit", "finished", "crash"}).contains(tool.world.recordEnd()), 20000);
        const QDeadlineTimer withinFourSeconds(4000);
        if (!row.lost.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(lostSpy.count(), 1, 10000);
            QVERIFY(!withinFourSeconds.hasExpired());
            QCOMPARE(lostSpy.at(0).at(0).toString(), row.lost);
        }
        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), tool.world.recorded("sent").size() - row.published.size(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(tool.published, row.published, 20000);
        QCOMPARE(tool.world.recorded("reply"), row.replies);
        QCOMPARE(atArrival.value(0), QString());
        QVERIFY(!tool.process.upgradeProgram()->isAwaited());
        QCOMPARE(lostSpy.count(), row.lost.isEmpty() ? 0 : 1);
        QVERIFY(!row.lost.isEmpty() || tool.filter.result().value("statsu").userType() == QMetaType::QString);
    }

    // Reports from anyone but the program of the stage, or while none runs, are
    // dropped, and an impostor that names the program's handle gets no reply:
    // the reply goes to the program.
    void impostorsAreNotHeard()
    {
        Tool tool;
        QSignalSpy refused(tool.channel(), &StatusChannel::refused);
        RawPeer early;   // no program runs yet
        early.send(StatusFrame::encode(9, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, 20000);

        QTemporaryDir blankless(QDir::tempPath() + "/upvane-go-XXXXXX");   // a scenario step holds no blank
        const QString go = blankless.filePath("go");
        QVERIFY(tool.startStandIn("await:" + go + " 4 1", "9"));
        QVERIFY(tool.process.upgradeProgram()->isAwaited());
        // Another process of this user, started otherwise, with the same handle.
        QProcess impostor;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("UPVANE_UPGRADER_SCENARIO", "hex:31 hex:33");
        environment.insert("UPVANE_UPGRADER_RECORD", tool.world.path("impostor.txt"));
        impostor.setProcessEnvironment(environment);
        impostor.start(TestWorld::standIn(), {"-f"});
        RawPeer squatter;
        squatter.send(StatusFrame::encode(9, "3"));
        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 4, 20000);   // early's, squatter's, and the impostor's two
        QVERIFY(tool.published.isEmpty());

        connect(&tool.filter, &UpgradeEventFilter::statusChanged, this, [&tool] {
            if (tool.statsu() == "4:9")
                tool.filter.sendDeviceInfo("0", 9);
        });
        QVERIFY(TextFiles::write(go, QByteArray()));
        QTRY_COMPARE_WITH_TIMEOUT(tool.published, (QStringList{"4:9", "1:9"}), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(tool.world.recorded("reply"), QStringList{"0|"}, 20000);
        QVERIFY(squatter.bytesAvailable() == 0 && early.bytesAvailable() == 0);
        impostor.kill();
        impostor.waitForFinished();
    }

    // A handle whose peer is gone reaches no one; handle 0 names no program.
    void goneHandlesAreNotAnswered()
    {
        Channel channel;
        {
            RawPeer gone;
            gone.send(StatusFrame::encode(31, "3"));
            QTRY_COMPARE_WITH_TIMEOUT(channel.received.size(), 1, 20000);
            QVERIFY(channel.channel.send(31, "still there"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!channel.channel.send(31, "gone"), 20000);

        UpgradeEventFilter filter;   // its own channel cannot listen: the name is served
        QTest::ignoreMessage(QtDebugMsg, "can't find upgrade tool");
        filter.sendDeviceInfo("0", 0);
    }

    void deafPeerIsDroppedWithoutBlocking()
    {
        Channel channel;
        RawPeer deaf;
        deaf.setReadBufferSize(1);   // reads no more once a byte waits
        deaf.send(StatusFrame::encode(77, "3"));
        QTRY_COMPARE_WITH_TIMEOUT(channel.received.size(), 1, 20000);
        const QByteArray big(StatusFrame::MaxBytes, 'p');
        int sent = 0;
        while (sent < 10000 && channel.channel.send(77, big))
            ++sent;
        QVERIFY2(sent < 10000, "replies to a peer that never reads must not pile up without bound");
    }

    void tooManyPeersAreTurnedAway()
    {
        Channel channel;
        std::vector<RawPeer> peers(StatusChannel::MaxPeers + 4);
        const auto turnedAway = [&] {
            return std::count_if(peers.begin(), peers.end(), [](RawPeer &p) { return p.state() == QLocalSocket::UnconnectedState; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(turnedAway(), std::ptrdiff_t(4), 20000);
        peers.front().send(StatusFrame::encode(1, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(channel.received, QList<QByteArray>{"1:1"}, 20000);
    }

    // A channel that cannot listen says so at once, and the program of a stage is
    // then not started at all: the wizard fails the stage instead of waiting. Here
    // the name is served by an earlier channel (as in a later instance, which
    // exits at once), which took it over from a file left under it and is left
    // alone.
    void channelThatCannotListen()
    {
        TestWorld world;
        QFile leftOver(StatusChannel::address());   // as from a tool that ended without closing
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        StatusChannel first;
        QVERIFY(first.isListening());
        const QString address = StatusChannel::address();
        QTest::ignoreMessage(QtWarningMsg, qPrintable("Status channel does not listen: " + address + " is served by another program"));
        UpgradeEventFilter filter;
        ProcessInfo process;
        filter.setProgram(process.upgradeProgram());
        QVERIFY(QFile::copy(TestWorld::standIn(), world.appDataDir() + "/upgrade.exe"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Upgrade program not started, the status channel does not listen"));
        QVERIFY(!process.openProcess("upgrade.exe", 3));
        QVERIFY(!QFile::exists(world.recordPath()));
        QSignalSpy received(&first, &StatusChannel::received);
        RawPeer peer;
        peer.send(StatusFrame::encode(3, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(received.count(), 1, 20000);
    }
};

QTEST_GUILESS_MAIN(tst_UpgradeEventFilter)
#include "tst_upgradeeventfilter.moc"
