// The status channel end to end: the tool's UpgradeEventFilter in this process,
// the stand-in upgrade program (or a raw peer) on the other end of the real
// local socket.
#include "StatusChannel.h"
#include "StatusFrame.h"
#include "UpgradeEventFilter.h"
#include "UpgradeTestWorld.h"

#include <QLocalSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The tool in a world of its own with every value "statsu" took, and the
// stand-in started directly with a scenario and a handle.
class Tool
{
public:
    Tool()
    {
        QObject::connect(&filter, &UpgradeEventFilter::statusChanged, &filter, [this] { published << statsu(); });
    }
    ~Tool() { standIn.kill(); standIn.waitForFinished(); }
    QString statsu() const { return filter.result().value(QStringLiteral("statsu")).toString(); }
    StatusChannel *channel() const { return filter.findChild<StatusChannel *>(); }
    void startStandIn(const QString &scenario, const QString &handle)
    {
        qputenv("UPVANE_UPGRADER_SCENARIO", scenario.toUtf8());
        qputenv("UPVANE_UPGRADER_HANDLE", handle.toUtf8());
        standIn.start(UpgradeTestWorld::standIn(), {QStringLiteral("-f")});
    }

    UpgradeTestWorld world;
    UpgradeEventFilter filter;
    QStringList published;
    QProcess standIn;
};

// A peer written by hand, for what the stand-in would never send.
struct RawPeer : QLocalSocket {
    RawPeer()
    {
        connectToServer(StatusChannel::address());
        waitForConnected(5000);
    }
    void send(const QByteArray &bytes) { write(bytes); flush(); }
};

}

class tst_UpgradeEventFilter : public QObject
{
    Q_OBJECT

private slots:
    void statusIsPublishedLaterWithItsHandle()
    {
        Tool tool;
        const QFileInfo socket(StatusChannel::address());
        QCOMPARE(socket.absolutePath(), tool.world.path(QStringLiteral("run")));
        QVERIFY(!(socket.permissions()
                  & (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ReadGroup | QFileDevice::WriteGroup)));
        // What was published when the message came, and whether a timer armed
        // then for half the delay fired before the publication.
        QStringList events;
        connect(tool.channel(), &StatusChannel::received, this, [&] {
            events << QStringLiteral("arrived with statsu '%1'").arg(tool.statsu());
            QTimer::singleShot(50, this, [&] { events << QStringLiteral("half the delay"); });
        });
        connect(&tool.filter, &UpgradeEventFilter::statusChanged, this,
                [&] { events << QStringLiteral("published ") + tool.statsu(); });
        tool.startStandIn(QStringLiteral("1"), QStringLiteral("4660"));
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 3, 20000);
        QCOMPARE(events, (QStringList{"arrived with statsu ''", "half the delay", "published 1:4660"}));
        QCOMPARE(tool.filter.property("result").toMap().value(QStringLiteral("statsu")).userType(),
                 int(QMetaType::QString));
    }

    // The wizard's part: code 3 is answered with a device path, 4 with "0".
    void standInRunsThrough_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("handle");
        QTest::addColumn<QStringList>("published");
        QTest::addColumn<QStringList>("replies");
        QTest::newRow("non-ASCII path, then a burst of 4 and 1")
            << "3 4+1" << "9" << QStringList{"3:9", "4:9", "1:9"} << QStringList{"/dev/h\u00e9|", "0|"};
        QTest::newRow("negative handle") << "4 1" << "-5" << QStringList{"4:-5", "1:-5"} << QStringList{"0|"};
        QTest::newRow("empty text") << "hex:" << "5" << QStringList{":5"} << QStringList();
        QTest::newRow("counted NUL kept") << "hex:3100" << "5" << QStringList{QString::fromUtf8("1\0:5", 4)}
                                          << QStringList();
    }

    void standInRunsThrough()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, handle);
        QFETCH(QStringList, published);
        QFETCH(QStringList, replies);
        Tool tool;
        connect(&tool.filter, &UpgradeEventFilter::statusChanged, this, [&tool] {
            const QStringList fields = tool.statsu().split(QLatin1Char(':'));
            if (fields.value(0) == QLatin1String("3"))
                tool.filter.sendDeviceInfo(QStringLiteral("/dev/h\u00e9"), fields.value(1).toInt());
            else if (fields.value(0) == QLatin1String("4"))
                tool.filter.sendDeviceInfo(QStringLiteral("0"), fields.value(1).toInt());
        });
        tool.startStandIn(scenario, handle);
        QTRY_COMPARE_WITH_TIMEOUT(tool.published, published, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(tool.world.recordEnd(), QStringLiteral("finished"), 20000);
        QCOMPARE(tool.world.recorded(QStringLiteral("reply")), replies);
    }

    void rawPeerFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("dropped");   // the tool closes the connection itself
        QTest::addColumn<QStringList>("expected");
        QByteArray oversized = StatusFrame::encode(1, "");
        oversized[10] = char(0x10);
        oversized[11] = char(0x01);   // count 4097
        QTest::newRow("garbage") << QByteArray("GET / HTTP/1.1\r\n\r\n") << true << QStringList();
        QTest::newRow("count above the bound") << oversized << true << QStringList();
        QTest::newRow("two handles in one write, then garbage")
            << StatusFrame::encode(10, "1") + StatusFrame::encode(20, "3") + "junk" << true
            << QStringList{"1:10", "3:20"};
        QTest::newRow("frame cut by disconnect") << StatusFrame::encode(4, "12345").left(14) << false << QStringList();
    }

    void rawPeerFrames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, dropped);
        QFETCH(QStringList, expected);
        Tool tool;
        {
            RawPeer peer;
            QCOMPARE(peer.state(), QLocalSocket::ConnectedState);
            peer.send(bytes);
            if (dropped)
                QTRY_COMPARE_WITH_TIMEOUT(peer.state(), QLocalSocket::UnconnectedState, 20000);
        }
        // A well-behaved program is still heard after it.
        RawPeer good;
        good.send(StatusFrame::encode(8, "1"));
        expected << QStringLiteral("1:8");
        QTRY_COMPARE_WITH_TIMEOUT(tool.published, expected, 20000);
    }

    void unknownHandlesAreNotAnswered()
    {
        Tool tool;
        RawPeer silent;
        silent.send(StatusFrame::encode(0, "3"));
        QTRY_COMPARE_WITH_TIMEOUT(tool.statsu(), QStringLiteral("3:0"), 20000);
        {
            RawPeer gone;
            gone.send(StatusFrame::encode(31, "3"));
            QTRY_COMPARE_WITH_TIMEOUT(tool.statsu(), QStringLiteral("3:31"), 20000);
            QVERIFY(tool.channel()->send(31, "still there"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!tool.channel()->send(31, "gone"), 20000);
        tool.filter.sendDeviceInfo(QStringLiteral("/dev/hidraw0"), 31);   // silently nothing
        QTest::ignoreMessage(QtDebugMsg, "can't find upgrade tool");
        tool.filter.sendDeviceInfo(QStringLiteral("0"), 0);   // not even to the peer that announced 0
        silent.send(StatusFrame::encode(9, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(tool.statsu(), QStringLiteral("1:9"), 20000);
        QCOMPARE(silent.bytesAvailable(), 0);
    }

    void deafPeerIsDroppedWithoutBlocking()
    {
        Tool tool;
        RawPeer deaf;
        deaf.setReadBufferSize(1);   // reads no more once a byte waits
        deaf.send(StatusFrame::encode(77, "3"));
        QTRY_COMPARE_WITH_TIMEOUT(tool.statsu(), QStringLiteral("3:77"), 20000);
        const QByteArray big(StatusFrame::MaxBytes, 'p');
        int sent = 0;
        while (sent < 10000 && tool.channel()->send(77, big))
            ++sent;
        QVERIFY2(sent < 10000, "replies to a peer that never reads must not pile up without bound");
    }

    void tooManyPeersAreTurnedAway()
    {
        Tool tool;
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (int i = 0; i < StatusChannel::MaxPeers + 4; ++i)
            peers.push_back(std::make_unique<RawPeer>());
        const auto turnedAway = [&] {
            return std::count_if(peers.begin(), peers.end(),
                                 [](const auto &peer) { return peer->state() == QLocalSocket::UnconnectedState; });
        };
        QTRY_COMPARE_WITH_TIMEOUT(turnedAway(), std::ptrdiff_t(4), 20000);
        peers.front()->send(StatusFrame::encode(1, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(tool.published, QStringList{"1:1"}, 20000);
    }

    void earlierOccupantsOfTheAddress()
    {
        UpgradeTestWorld world;
        QFile leftOver(StatusChannel::address());   // as from a tool that ended without closing
        QVERIFY(leftOver.open(QIODevice::WriteOnly));
        UpgradeEventFilter first;
        QVERIFY(first.findChild<StatusChannel *>()->isListening());
        {
            UpgradeEventFilter later;   // as in a later instance, which exits at once
            QVERIFY(!later.findChild<StatusChannel *>()->isListening());
        }
        RawPeer peer;
        peer.send(StatusFrame::encode(3, "1"));
        QTRY_COMPARE_WITH_TIMEOUT(first.result().value(QStringLiteral("statsu")).toString(), QStringLiteral("1:3"), 20000);
    }
};

QTEST_GUILESS_MAIN(tst_UpgradeEventFilter)
#include "tst_upgradeeventfilter.moc"
