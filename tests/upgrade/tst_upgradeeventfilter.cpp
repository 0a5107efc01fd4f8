// The status channel end to end: the tool's UpgradeEventFilter in this process,
// the stand-in upgrade program (or a raw peer) on the other end of the real
// local socket.
#include "StandInRecord.h"
#include "StatusChannel.h"
#include "StatusFrame.h"
#include "UpgradeEventFilter.h"
#include "UpgradeTestWorld.h"

#include <QLocalSocket>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString statsu(const UpgradeEventFilter &filter)
{
    return filter.result().value(QStringLiteral("statsu")).toString();
}

// Every value "statsu" took, in order.
class Published
{
public:
    explicit Published(UpgradeEventFilter &filter)
    {
        QObject::connect(&filter, &UpgradeEventFilter::statusChanged, &filter,
                         [this, &filter] { values << statsu(filter); });
    }
    QStringList values;
};

// The stand-in upgrade program, started directly with a scenario.
class StandIn
{
public:
    StandIn(const UpgradeTestWorld &world, const QString &scenario, const QString &handle = QString())
        : recordPath(world.path(QStringLiteral("record.txt")))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO"), scenario);
        env.insert(QStringLiteral("UPVANE_UPGRADER_RECORD"), recordPath);
        if (!handle.isNull())
            env.insert(QStringLiteral("UPVANE_UPGRADER_HANDLE"), handle);
        process.setProcessEnvironment(env);
        process.start(UpgradeTestWorld::standIn(), {QStringLiteral("-f")});
    }
    ~StandIn()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    StandInRecord record() const { return StandInRecord(recordPath); }

    QString recordPath;
    QProcess process;
};

// A peer written by hand, for what the stand-in would never send.
class RawPeer
{
public:
    RawPeer()
    {
        socket.connectToServer(StatusChannel::address());
        socket.waitForConnected(5000);
    }
    void send(qint32 handle, const QByteArray &text) { socket.write(StatusFrame::encode(handle, text)); socket.flush(); }
    QLocalSocket socket;
};

// A plain socket on the channel's address: connected (a peer that never reads
// what it is sent) or only bound (what a tool that died leaves behind).
int plainSocket(bool connectIt)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(StatusChannel::address()).constData(), sizeof address.sun_path);
    const auto *where = reinterpret_cast<const sockaddr *>(&address);
    if ((connectIt ? ::connect(fd, where, sizeof address) : ::bind(fd, where, sizeof address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}

class tst_UpgradeEventFilter : public QObject
{
    Q_OBJECT

private slots:
    void statusIsPublishedLaterWithItsHandle()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        auto *channel = filter.findChild<StatusChannel *>();
        QVERIFY(channel && channel->isListening());
        // What the tool had published when the message came, and whether a timer
        // armed then for half the delay fired before the publication.
        QStringList events;
        connect(channel, &StatusChannel::received, this, [&] {
            events << QStringLiteral("arrived with statsu '%1'").arg(statsu(filter));
            QTimer::singleShot(50, this, [&] { events << QStringLiteral("half the delay"); });
        });
        connect(&filter, &UpgradeEventFilter::statusChanged, this,
                [&] { events << QStringLiteral("published ") + statsu(filter); });

        StandIn standIn(world, QStringLiteral("1"), QStringLiteral("4660"));
        QTRY_VERIFY_WITH_TIMEOUT(standIn.record().ended(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), 3, 5000);
        QCOMPARE(events, (QStringList{"arrived with statsu ''", "half the delay", "published 1:4660"}));
        QCOMPARE(filter.property("result").toMap().value(QStringLiteral("statsu")).userType(),
                 int(QMetaType::QString));
    }

    void repliesReachTheStandIn_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("handle");   // null: the stand-in's process id
        QTest::addColumn<QString>("deviceID");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("4 answered with 0") << "4" << QString() << "0" << QByteArray("0|");
        QTest::newRow("3 answered with the path") << "3" << QString() << "/dev/hidraw3" << QByteArray("/dev/hidraw3|");
        QTest::newRow("non-ASCII counts bytes") << "3" << QString() << QString::fromUtf8("/dev/h\xc3\xa9")
                                                << QByteArray("/dev/h\xc3\xa9|");
        QTest::newRow("negative handle") << "4" << "-5" << "0" << QByteArray("0|");
    }

    void repliesReachTheStandIn()
    {
        QFETCH(QString, code);
        QFETCH(QString, handle);
        QFETCH(QString, deviceID);
        QFETCH(QByteArray, bytes);
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        StandIn standIn(world, code + QStringLiteral(" 1"), handle);
        if (handle.isNull())
            handle = QString::number(standIn.process.processId());
        QTRY_COMPARE_WITH_TIMEOUT(statsu(filter), code + QLatin1Char(':') + handle, 20000);
        // As the wizard does: the handle is the second field.
        filter.sendDeviceInfo(deviceID, statsu(filter).split(QLatin1Char(':')).value(1).toInt());
        QTRY_COMPARE_WITH_TIMEOUT(statsu(filter), QStringLiteral("1:") + handle, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(standIn.record().ended(), 20000);
        QCOMPARE(standIn.record().value(QStringLiteral("reply-hex")), QString::fromLatin1(bytes.toHex()));
        QCOMPARE(standIn.record().last(), QStringLiteral("finished"));
    }

    void burstIsPublishedInOrder()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        Published published(filter);
        StandIn standIn(world, QStringLiteral("2+1"), QStringLiteral("77"));
        QTRY_COMPARE_WITH_TIMEOUT(published.values.size(), 2, 20000);
        QCOMPARE(published.values, (QStringList{"2:77", "1:77"}));
    }

    void burstFromTwoHandlesKeepsEachPair()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        Published published(filter);
        RawPeer peer;
        QVERIFY(peer.socket.state() == QLocalSocket::ConnectedState);
        peer.socket.write(StatusFrame::encode(10, "1") + StatusFrame::encode(20, "3"));
        peer.socket.flush();
        QTRY_COMPARE_WITH_TIMEOUT(published.values.size(), 2, 20000);
        QCOMPARE(published.values, (QStringList{"1:10", "3:20"}));
        QCOMPARE(filter.property("result").toMap().value(QStringLiteral("statsu")).toString(), QStringLiteral("3:20"));
    }

    void unusualTexts_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("handle");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty text") << "hex:" << "5" << ":5";
        QTest::newRow("counted NUL kept") << "hex:3100" << "5" << QString::fromUtf8("1\0:5", 4);
        QTest::newRow("lowest handle") << "0" << "-2147483648" << "0:-2147483648";
        QTest::newRow("invalid UTF-8 replaced") << "hex:ff31" << "5" << QString(QChar::ReplacementCharacter) + "1:5";
    }

    void unusualTexts()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, handle);
        QFETCH(QString, expected);
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        Published published(filter);
        StandIn standIn(world, scenario, handle);
        QTRY_COMPARE_WITH_TIMEOUT(published.values.size(), 1, 20000);
        QCOMPARE(published.values.first(), expected);
    }

    void unknownHandlesAreNotAnswered()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        auto *channel = filter.findChild<StatusChannel *>();
        RawPeer silent;
        silent.send(0, "3");
        QTRY_COMPARE_WITH_TIMEOUT(statsu(filter), QStringLiteral("3:0"), 20000);
        {
            RawPeer gone;
            gone.send(31, "3");
            QTRY_COMPARE_WITH_TIMEOUT(statsu(filter), QStringLiteral("3:31"), 20000);
            QVERIFY(channel->send(31, "still there"));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!channel->send(31, "gone"), 20000);
        filter.sendDeviceInfo(QStringLiteral("/dev/hidraw0"), 31);
        filter.sendDeviceInfo(QStringLiteral("0"), 12345);   // never announced
        QTest::ignoreMessage(QtDebugMsg, "can't find upgrade tool");
        filter.sendDeviceInfo(QStringLiteral("0"), 0);   // also not to the peer that announced 0
        silent.send(9, "1");
        QTRY_COMPARE_WITH_TIMEOUT(statsu(filter), QStringLiteral("1:9"), 20000);
        QCOMPARE(silent.socket.bytesAvailable(), 0);
    }

    void hostileFrames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("dropped");   // the tool closes the connection itself
        QByteArray oversized = StatusFrame::encode(1, "1");
        oversized[11] = char(0x01);
        oversized[10] = char(0x10);   // count 4097
        QByteArray huge = StatusFrame::encode(1, "1");
        huge[8] = huge[9] = huge[10] = huge[11] = char(0xff);
        QTest::newRow("garbage") << QByteArray("GET / HTTP/1.1\r\n\r\n") << true;
        QTest::newRow("count above the bound") << oversized << true;
        QTest::newRow("largest count") << huge << true;
        QTest::newRow("garbage after a good frame") << StatusFrame::encode(3, "2") + "junk" << true;
        QTest::newRow("frame cut by disconnect") << StatusFrame::encode(4, "12345").left(14) << false;
        QTest::newRow("header cut by disconnect") << QByteArray("UPVS\0\0", 6) << false;
        QTest::newRow("many bytes of zeros") << QByteArray(1 << 20, '\0') << true;
    }

    void hostileFrames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, dropped);
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        Published published(filter);
        {
            RawPeer hostile;
            QVERIFY(hostile.socket.state() == QLocalSocket::ConnectedState);
            hostile.socket.write(bytes);
            hostile.socket.flush();
            if (dropped)
                QTRY_COMPARE_WITH_TIMEOUT(hostile.socket.state(), QLocalSocket::UnconnectedState, 20000);
        }
        // A well-behaved program is still heard, and only what was whole came through.
        RawPeer good;
        good.send(8, "1");
        QTRY_VERIFY_WITH_TIMEOUT(published.values.contains(QStringLiteral("1:8")), 20000);
        for (const QString &value : qAsConst(published.values))
            QVERIFY2(value == QLatin1String("1:8") || value == QLatin1String("2:3"), qPrintable(value));
    }

    void deafPeerIsDroppedWithoutBlocking()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        auto *channel = filter.findChild<StatusChannel *>();
        const int deaf = plainSocket(true);
        QVERIFY(deaf >= 0);
        const QByteArray hello = StatusFrame::encode(77, "3");
        QCOMPARE(::write(deaf, hello.constData(), size_t(hello.size())), ssize_t(hello.size()));
        QTRY_COMPARE_WITH_TIMEOUT(statsu(filter), QStringLiteral("3:77"), 20000);
        const QByteArray big(StatusFrame::MaxBytes, 'p');
        int sent = 0;
        while (sent < 10000 && channel->send(77, big))
            ++sent;
        QVERIFY2(sent < 10000, "replies to a peer that never reads must not pile up without bound");
        filter.sendDeviceInfo(QString::fromLatin1(big), 77);   // silently nothing now
        ::close(deaf);
    }

    void tooManyPeersAreTurnedAway()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        Published published(filter);
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (int i = 0; i < StatusChannel::MaxPeers + 4; ++i)
            peers.push_back(std::make_unique<RawPeer>());
        QTRY_VERIFY_WITH_TIMEOUT(std::count_if(peers.begin(), peers.end(), [](const auto &peer) {
                                     return peer->socket.state() == QLocalSocket::UnconnectedState;
                                 }) == 4,
                                 20000);
        peers.front()->send(1, "1");
        QTRY_COMPARE_WITH_TIMEOUT(published.values, QStringList{"1:1"}, 20000);
    }

    void runningInstanceKeepsItsChannel()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter first;
        {
            UpgradeEventFilter later;   // as in a later instance, which exits at once
            QVERIFY(!later.findChild<StatusChannel *>()->isListening());
        }
        Published published(first);
        StandIn standIn(world, QStringLiteral("1"), QStringLiteral("3"));
        QTRY_COMPARE_WITH_TIMEOUT(published.values, QStringList{"1:3"}, 20000);
    }

    void leftOverSocketFileIsReplaced_data()
    {
        QTest::addColumn<bool>("socketFile");
        QTest::newRow("socket without a listener") << true;
        QTest::newRow("plain file") << false;
    }

    void leftOverSocketFileIsReplaced()
    {
        QFETCH(bool, socketFile);
        UpgradeTestWorld world;
        if (socketFile) {
            const int fd = plainSocket(false);
            QVERIFY(fd >= 0);
            ::close(fd);
        } else {
            QFile file(StatusChannel::address());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        UpgradeEventFilter filter;
        QVERIFY(filter.findChild<StatusChannel *>()->isListening());
        Published published(filter);
        StandIn standIn(world, QStringLiteral("2"), QStringLiteral("6"));
        QTRY_COMPARE_WITH_TIMEOUT(published.values, QStringList{"2:6"}, 20000);
    }

    void channelIsPrivateToItsUser()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        const QFileInfo socket(StatusChannel::address());
        QCOMPARE(socket.absolutePath(), world.path(QStringLiteral("run")));
        QVERIFY(!(socket.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ReadGroup
                                          | QFileDevice::WriteGroup)));
    }
};

QTEST_GUILESS_MAIN(tst_UpgradeEventFilter)
#include "tst_upgradeeventfilter.moc"
