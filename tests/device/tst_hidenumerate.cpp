// hidEnumerate over the stand-in hidapi library: the exact calls and packets,
// which devices were opened and closed, hid_init/hid_exit pairing, the device
// record, the debug lines and config.ini in the test's own program folder.
#include "DeviceTest.h"
#include "FakeHid.h"
#include "hidEnumerate.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using DeviceTest::messages;

namespace {

int addDevice(const QByteArray &keys)
{
    Rt48px::DeviceConfig config;
    std::string error;
    if (!Rt48px::parseDeviceKeys(keys.toStdString(), config, error))
        qFatal("bad device keys %s: %s", keys.constData(), error.c_str());
    return FakeHid::addDevice(config);
}

// The recorded calls without "hid_"; feature reports as "send|get ID LENGTH RESULT"
// (the device refuses any wrong byte: RESULT -1).
QStringList trace()
{
    QStringList lines;
    for (const FakeHid::Call &call : FakeHid::transcript()) {
        const QString function = QString::fromStdString(call.function).mid(4);
        lines << (function.endsWith(QLatin1String("_report"))
                      ? QStringLiteral("%1 %2 %3 %4").arg(function.section(QLatin1Char('_'), 0, 0))
                            .arg(int(call.bytes.at(0)), 2, 16, QLatin1Char('0')).arg(int(call.length)).arg(call.result)
                      : function);
    }
    return lines;
}

// The devices of the calls to `function` (reports: only those with that report id).
QVector<int> devices(const char *function, int reportId = -1)
{
    QVector<int> result;
    for (const FakeHid::Call &call : FakeHid::calls(function))
        if (reportId < 0 || call.bytes.at(0) == reportId)
            result << call.device;
    return result;
}

// Every successful hid_init is matched by a hid_exit but for the one device still open.
void verifyInitExitPairing()
{
    QVERIFY(FakeHid::initsBalanced());
    QVERIFY(FakeHid::openHandles() <= 1);
    QCOMPARE(FakeHid::liveEnumerations(), 0);
}

// keys: the device's, null for none; accepted: the search keeps it open
struct Identify { QByteArray keys; bool accepted; QStringList messages; };
// replug: the devices added after the RT48PX is gone ("-": it stays); reached: the device the command reached, -1 none
struct Replug { QByteArrayList replug; int command, reached; };
// A command to the device the search kept open: the calls it makes and the messages.
struct Command { QByteArray keys; int command; bool result; QStringList calls, messages; };

}

Q_DECLARE_METATYPE(Identify)
Q_DECLARE_METATYPE(Replug)
Q_DECLARE_METATYPE(Command)

class TestHidEnumerate : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeHid::reset();
        DeviceTest::init();
    }

    void identification_data()
    {
        QTest::addColumn<Identify>("row");
        // the refusals tst_hidraw_refused holds over hidraw are not repeated here
        const QStringList silent;
        QTest::newRow("accepted") << Identify{"", true, silent};
        QTest::newRow("no device") << Identify{{}, false, silent};
        QTest::newRow("probe send fails") << Identify{"fail=probe", false, silent};
        QTest::newRow("probe reply fails") << Identify{"fail=probe-reply", false, silent};
        QTest::newRow("short probe reply")
            << Identify{"fail=probe-reply:short", false, {"chooseMasterModule Unable to send a feature report."}};
        // a zero-length status leaves byte 4 at 0, which is a valid module
        QTest::newRow("status empty") << Identify{"fail=status:empty", true, silent};
        QTest::newRow("information request refused")
            << Identify{"fail=information-request", false, {"getDeviceInformation Unable to send a feature report."}};
        QTest::newRow("cannot open") << Identify{"open=fails", false,
            {"unable to open device", "open device faile QVariant(QString, \"/fake/hidraw0\")"}};
    }
    void identification()
    {
        QFETCH(Identify, row);
        const bool accepted = row.accepted;
        if (!row.keys.isNull())
            addDevice(row.keys);
        auto hid = std::make_unique<hidEnumerate>();
        QSignalSpy finished(hid.get(), &hidEnumerate::hidFinished);
        hid->enumerate();

        QCOMPARE(finished.count(), 1);
        QCOMPARE(DeviceTest::messages, row.messages);
        QCOMPARE(hid->getDevlist().size(), accepted ? 1 : 0);
        QCOMPARE(FakeHid::openHandles(), accepted ? 1 : 0);
        QCOMPARE(hid->getFWver(), accepted ? QStringLiteral("01.0.107") : QString());
        QCOMPARE(hid->getUPver(), accepted ? QStringLiteral("V1.1.104") : QString());
        hid.reset();   // the destructor closes the accepted device
        QCOMPARE(FakeHid::openHandles(), 0);
        verifyInitExitPairing();
    }

    void initFails()
    {
        addDevice("");
        FakeHid::setInitResult(-1);
        hidEnumerate hid;
        hid.enumerate();
        QVERIFY(hid.getDevlist().isEmpty());
        QCOMPARE(trace(), (QStringList{"enumerate", "init", "free_enumeration"}));
        QCOMPARE(messages, QStringList{"open device faile QVariant(QString, \"/fake/hidraw0\")"});
    }

    void deviceRecord_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<QVariantMap>("changes");   // to DeviceTest::record
        QTest::newRow("defaults") << QByteArray("") << QVariantMap();
        QTest::newRow("ids padded, lower case") << QByteArray("vid=1 pid=ABCD release=fffe interface=3")
            << QVariantMap{{"vid", "0001"}, {"pid", "abcd"}, {"release_number", 0xfffe}, {"interface_number", 3}};
        QTest::newRow("path cut at the last #")
            << QByteArray("path=\\\\?\\hid#vid_f0e1&pid_0048#7&1b#{4d1e55b2-f16f-11cf-88cb-001111000030}")
            << QVariantMap{{"path", "\\\\?\\hid#vid_f0e1&pid_0048#7&1b"}};
        QTest::newRow("path starting with #") << QByteArray("path=#abc") << QVariantMap{{"path", ""}};
        QTest::newRow("missing strings") << QByteArray("manufacturer=- product=- serial=-")
            << QVariantMap{{"manufacturer", QString()}, {"modelname", QString()}, {"serial_number", QString()}};
        QTest::newRow("micro-code differs") << QByteArray("microcode=V1R1105") << QVariantMap{{"ucode", 1}};
    }
    void deviceRecord()
    {
        QFETCH(QByteArray, keys);
        QFETCH(QVariantMap, changes);
        QVariantMap record = DeviceTest::record("/fake/hidraw0", 0);
        record.insert(changes);
        addDevice(keys);
        hidEnumerate hid;
        hid.enumerate();
        QCOMPARE(hid.getDevlist().size(), 1);
        const QVariantMap actual = hid.getDevlist().first().toMap();
        for (const QString &key : record.keys())
            QCOMPARE(actual[key].userType(), record[key].userType());
        QCOMPARE(actual, record);
    }

    void firstAcceptedDeviceWins()
    {
        for (const char *keys : {"kind=mute", "kind=foreign", "fail=information:zero-ready", "microcode=V1R1100", ""})
            addDevice(keys);
        hidEnumerate hid;
        hid.enumerate();
        // every device before the RT48PX got the probe and was closed again
        QCOMPARE(devices("hid_open_path"), (QVector<int>{0, 1, 2, 3}));
        QCOMPARE(devices("hid_send_feature_report", 0x01), (QVector<int>{0, 1, 2, 3}));
        QCOMPARE(devices("hid_close"), (QVector<int>{0, 1, 2}));
        QCOMPARE(hid.getDevlist().size(), 1);
        QCOMPARE(hid.getDevlist().first().toMap().value("path").toString(), QStringLiteral("/fake/hidraw3"));
        QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.100"));
        verifyInitExitPairing();
    }

    void repeatedCalls()
    {
        Rt48px::DeviceConfig &device = FakeHid::device(addDevice("firmware=02R0200 microcode=V1R1105")).config();
        hidEnumerate hid;
        QSignalSpy finished(&hid, &hidEnumerate::hidFinished);
        hid.enumerate();
        hid.enumerate();
        QCOMPARE(finished.count(), 2);
        QCOMPARE(hid.getDevlist().size(), 1);   // replaced, not appended
        QCOMPARE(DeviceTest::searchLines.size(), 3);   // the same search is logged once
        QVERIFY(hid.opendev());
        // the device kept open by each call is closed before it is opened again;
        // opendev identifies the one the search kept open
        QCOMPARE(devices("hid_open_path"), (QVector<int>{0, 0}));
        QCOMPARE(devices("hid_close"), (QVector<int>{0}));

        // a search that finds nothing empties the list and keeps the last versions
        device.failStep = Rt48px::Step::Information;
        device.fault = Rt48px::Fault::ZeroReady;
        device.microcode = "V9R9999";
        hid.enumerate();
        QVERIFY(hid.getDevlist().isEmpty());
        QCOMPARE(DeviceTest::searchLines.mid(3), QStringList{"search: 1 HID device: f0e1:0048 refused"});
        QCOMPARE(hid.getFWver(), QStringLiteral("02.0.200"));
        QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.105"));
        QCOMPARE(FakeHid::openHandles(), 0);
        verifyInitExitPairing();
    }

    // What the switch did between the search and the page's command (0xA0 after
    // opendev, 0xFF, or 0 for checkdev before the firmware program): the command
    // reaches the RT48PX attached now, and no other device.
    void commandAfterReplug_data()
    {
        QTest::addColumn<Replug>("row");
        for (int command : {0xA0, 0xFF, 0}) {
            const QByteArray name = command ? QByteArray::number(command, 16) : QByteArray("checkdev");
            QTest::addRow("%s, still there", name.constData()) << Replug{{"-"}, command, 2};
            QTest::addRow("%s, replugged", name.constData()) << Replug{{"path=/fake/hidraw2"}, command, 3};
            QTest::addRow("%s, other port", name.constData()) << Replug{{""}, command, 3};
            QTest::addRow("%s, unplugged", name.constData()) << Replug{{}, command, -1};
            QTest::addRow("%s, a mouse at its path", name.constData()) << Replug{{"kind=mute path=/fake/hidraw2"}, command, -1};
        }
    }
    void commandAfterReplug()
    {
        QFETCH(Replug, row);
        const int command = row.command, reached = row.reached;
        for (const char *keys : {"kind=mute", "kind=foreign", ""})
            addDevice(keys);
        hidEnumerate hid;
        hid.enumerate();
        if (row.replug.value(0) != "-") {
            FakeHid::setPresent(2, false);
            for (const QByteArray &keys : row.replug)
                addDevice(keys);
        }
        FakeHid::clearTranscript();

        // the command's report: 0xA2, the seven-byte 0x01, or checkdev's 0x92
        const int id = command == 0xA0 ? 0xA2 : command == 0xFF ? 0x01 : 0x92;
        QCOMPARE(command == 0xA0 ? hid.opendev() : command == 0xFF ? hid.send0XFF() : hid.checkdev(), reached >= 0);
        if (command == 0xA0)
            hid.send0XA0();
        QVector<int> commanded;
        for (const FakeHid::Call &call : FakeHid::calls("hid_send_feature_report"))
            if (call.bytes.at(0) == id && call.length != 512 && call.result >= 0 && !commanded.contains(call.device))
                commanded << call.device;
        if (command == 0)
            QCOMPARE(hid.getDevlist().value(0).toMap().value("path").toString(),
                     reached >= 0 ? QString::fromStdString(FakeHid::device(reached).config().path) : QString());
        QCOMPARE(commanded, reached >= 0 ? QVector<int>{reached} : QVector<int>{});
        QCOMPARE(FakeHid::device(1).commandsReceived(), 0);
        QVERIFY(FakeHid::openHandles() <= 1);
    }

    void commands_data()
    {
        QTest::addColumn<Command>("row");
        const QStringList none, closing{"close", "exit"}, getFails{"0xff get fails"};
        QTest::newRow("0xA0") << Command{"", 0xA0, true, QStringList{"send a2 8 8"} + closing, none};
        QTest::newRow("0xFF") << Command{"", 0xFF, true, QStringList{"send 01 7 7", "get 22 7 7"} + closing, none};
        QTest::newRow("0xFF short reply")
            << Command{"fail=confirmation:short", 0xFF, true, QStringList{"send 01 7 7", "get 22 7 3"} + closing, none};
        QTest::newRow("0xFF empty reply")
            << Command{"fail=confirmation:empty", 0xFF, false, {"send 01 7 7", "get 22 7 0"}, getFails};
        QTest::newRow("0xFF read fails") << Command{"fail=confirmation", 0xFF, false, {"send 01 7 7", "get 22 7 -1"}, getFails};
        // no null device handed to hidapi
        QTest::newRow("0xA0 without device") << Command{"open=fails", 0xA0, true, none, none};
        QTest::newRow("0xFF without device") << Command{"open=fails", 0xFF, false, none, {"0xff send failed"}};
    }
    void commands()
    {
        QFETCH(Command, row);
        addDevice(row.keys);
        hidEnumerate hid;
        hid.enumerate();
        hid.opendev();
        FakeHid::clearTranscript();
        DeviceTest::messages.clear();
        QCOMPARE(row.command == 0xA0 ? hid.send0XA0() : hid.send0XFF(), row.result);
        QCOMPARE(trace(), row.calls);
        QCOMPARE(DeviceTest::messages, row.messages);
        // a failed confirmation keeps the device: the next one goes to it again
        if (FakeHid::openHandles() == 1) {
            FakeHid::device(0).config().failStep = Rt48px::Step::None;
            QVERIFY(hid.send0XFF());
        }
        QCOMPARE(FakeHid::openHandles(), 0);
    }
};

DEVICE_TEST_MAIN(TestHidEnumerate)
#include "tst_hidenumerate.moc"
