// hidEnumerate over the stand-in hidapi library: the exact packets, which
// devices were opened and closed, hid_init/hid_exit pairing, the device record,
// the debug lines and the config.ini policy in the test's own program folder.
#include "FakeHid.h"
#include "ProgramFolderCopy.h"
#include "hidEnumerate.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

namespace {

QStringList g_messages;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages << message;
}

int addDevice(const char *keys)
{
    Rt48px::DeviceConfig config;
    std::string error;
    if (!Rt48px::parseDeviceKeys(keys, config, error))
        qFatal("bad device keys %s: %s", keys, error.c_str());
    return FakeHid::addDevice(config);
}

QByteArray bytes(const std::vector<unsigned char> &data)
{
    return QByteArray(reinterpret_cast<const char *>(data.data()), static_cast<int>(data.size()));
}

QStringList functions()
{
    QStringList names;
    for (const FakeHid::Call &call : FakeHid::transcript())
        names << QString::fromStdString(call.function);
    return names;
}

// Devices in the order they were opened (successfully or not).
QVector<int> opened()
{
    QVector<int> devices;
    for (const FakeHid::Call &call : FakeHid::calls("hid_open_path"))
        devices << call.device;
    return devices;
}

QVector<int> closed()
{
    QVector<int> devices;
    for (const FakeHid::Call &call : FakeHid::calls("hid_close"))
        devices << call.device;
    return devices;
}

// Every successful hid_init is matched by one hid_exit once its device is
// closed (or failed to open); what is still open accounts for the rest.
void verifyInitExitPairing()
{
    int inits = 0;
    for (const FakeHid::Call &call : FakeHid::calls("hid_init"))
        inits += call.result == 0 ? 1 : 0;
    const int exits = static_cast<int>(FakeHid::calls("hid_exit").size());
    QCOMPARE(inits - exits, FakeHid::openHandles());
    QVERIFY(FakeHid::openHandles() <= 1);
    QCOMPARE(FakeHid::liveEnumerations(), 0);
}

QString configPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

void writeConfig(const QByteArray &content)
{
    QFile file(configPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

}

class TestHidEnumerate : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeHid::reset();
        QFile::remove(configPath());
        g_messages.clear();
        qInstallMessageHandler(capture);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    void identification_data();
    void identification();
    void exactPackets();
    void deviceRecord_data();
    void deviceRecord();
    void firstAcceptedDeviceWins();
    void devlistIsReplaced();
    void versionsKeptWhenNothingFound();
    void noDeviceAtAll();
    void opendev_data();
    void opendev();
    void opendevClosesDeviceOfEnumerate();
    void send0XA0();
    void send0XA0WithoutDevice();
    void send0XFF_data();
    void send0XFF();
    void destructorCloses();
    void initFailure();
    void ucodeFromConfig_data();
    void ucodeFromConfig();
};

void TestHidEnumerate::identification_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("messages");

    const QStringList silent;
    QTest::newRow("accepted") << QByteArray("") << true << silent;
    QTest::newRow("probe send fails") << QByteArray("fail=probe:negative") << false << silent;
    QTest::newRow("probe reply fails") << QByteArray("fail=probe-reply:negative") << false << silent;
    QTest::newRow("probe reply empty") << QByteArray("fail=probe-reply:empty") << false << silent;
    QTest::newRow("wrong signature") << QByteArray("fail=probe-reply:wrong-signature") << false << silent;
    QTest::newRow("short probe reply") << QByteArray("fail=probe-reply:short") << false
                                       << QStringList{"chooseMasterModule Unable to send a feature report."};
    QTest::newRow("select refused") << QByteArray("fail=select:negative") << false
                                    << QStringList{"chooseMasterModule Unable to send a feature report."};
    QTest::newRow("status fails") << QByteArray("fail=status:negative") << false
                                  << QStringList{"chooseMasterModule Unable to get a feature report."};
    QTest::newRow("bad status byte") << QByteArray("fail=status:bad-status") << false << silent;
    // a zero-length status leaves byte 4 at 0, which is a valid module
    QTest::newRow("status empty") << QByteArray("fail=status:empty") << true << silent;
    QTest::newRow("information request refused") << QByteArray("fail=information-request:negative") << false
                                                 << QStringList{"getDeviceInformation Unable to send a feature report."};
    QTest::newRow("information fails") << QByteArray("fail=information:negative") << false
                                       << QStringList{"getDeviceInformation Unable to get a feature report."};
    QTest::newRow("byte 50 zero") << QByteArray("fail=information:zero-ready") << false << silent;
    QTest::newRow("information short") << QByteArray("fail=information:short") << false << silent;
    QTest::newRow("information empty") << QByteArray("fail=information:empty") << false << silent;
    QTest::newRow("mute device") << QByteArray("kind=mute") << false << silent;
    QTest::newRow("foreign device") << QByteArray("kind=foreign") << false << silent;
    QTest::newRow("cannot open") << QByteArray("open=fails") << false
                                 << QStringList{"unable to open device",
                                                "open device faile QVariant(QString, \"/fake/hidraw0\")"};
}

void TestHidEnumerate::identification()
{
    QFETCH(QByteArray, keys);
    QFETCH(bool, accepted);
    QFETCH(QStringList, messages);

    addDevice(keys.constData());
    hidEnumerate hid;
    QSignalSpy finished(&hid, &hidEnumerate::hidFinished);
    hid.enumerate();

    QCOMPARE(finished.count(), 1);
    QCOMPARE(g_messages, messages);
    QCOMPARE(hid.getDevlist().size(), accepted ? 1 : 0);
    QCOMPARE(FakeHid::openHandles(), accepted ? 1 : 0);
    QCOMPARE(hid.getFWver(), accepted ? QStringLiteral("01.0.107") : QString());
    QCOMPARE(hid.getUPver(), accepted ? QStringLiteral("V1.1.104") : QString());
    verifyInitExitPairing();
}

void TestHidEnumerate::exactPackets()
{
    addDevice("");
    hidEnumerate hid;
    hid.enumerate();

    QCOMPARE(functions(), (QStringList{"hid_enumerate", "hid_init", "hid_open_path",
                                       "hid_send_feature_report", "hid_get_feature_report",
                                       "hid_send_feature_report", "hid_get_feature_report",
                                       "hid_send_feature_report", "hid_get_feature_report",
                                       "hid_free_enumeration"}));
    const std::vector<FakeHid::Call> sends = FakeHid::calls("hid_send_feature_report");
    const std::vector<FakeHid::Call> reads = FakeHid::calls("hid_get_feature_report");

    QByteArray probe = QByteArray::fromHex("01 46 55 FF 45 4E 2D");
    probe.append(505, '\0');
    QCOMPARE(sends[0].length, size_t(512));
    QCOMPARE(bytes(sends[0].bytes), probe);
    // the select packet echoes the device's probe reply (bytes 1, 2, 4..27)
    QCOMPARE(sends[1].length, size_t(29));
    QCOMPARE(bytes(sends[1].bytes),
             QByteArray::fromHex("824655801415161718191a1b1c1d1e1f202122232425262728292a2b0f"));
    QCOMPARE(sends[2].length, size_t(8));
    QCOMPARE(bytes(sends[2].bytes), QByteArray::fromHex("92465590004449B8"));

    const QVector<QPair<int, char>> expectedReads = {{33, '\x81'}, {6, '\x02'}, {80, '\x12'}};
    for (int i = 0; i < expectedReads.size(); ++i) {
        QByteArray buffer(expectedReads[i].first, '\0');
        buffer[0] = expectedReads[i].second;
        QCOMPARE(reads[size_t(i)].length, size_t(expectedReads[i].first));
        QCOMPARE(bytes(reads[size_t(i)].bytes), buffer);
    }
}

void TestHidEnumerate::deviceRecord_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QVariantMap>("record");

    QVariantMap full{{"interface_number", 0}, {"manufacturer", "VELM"}, {"modelname", "RT48PX KVM"},
                     {"path", "/fake/hidraw0"}, {"pid", "0048"}, {"release_number", 0x0104},
                     {"serial_number", "RT48PX-0001"}, {"ucode", 0}, {"vid", "f0e1"}};
    QTest::newRow("defaults") << QByteArray("") << full;

    QVariantMap ids = full;
    ids["vid"] = "0001";
    ids["pid"] = "abcd";
    ids["release_number"] = 0xfffe;
    ids["interface_number"] = 3;
    QTest::newRow("ids padded, lower case") << QByteArray("vid=1 pid=ABCD release=fffe interface=3") << ids;

    QVariantMap cut = full;
    cut["path"] = "\\\\?\\hid#vid_f0e1&pid_0048#7&1b";
    QTest::newRow("path cut at the last #")
        << QByteArray("path=\\\\?\\hid#vid_f0e1&pid_0048#7&1b#{4d1e55b2-f16f-11cf-88cb-001111000030}") << cut;

    QVariantMap missing = full;
    missing["manufacturer"] = QString();
    missing["modelname"] = QString();
    missing["serial_number"] = QString();
    QTest::newRow("missing strings") << QByteArray("manufacturer=- product=- serial=-") << missing;
}

void TestHidEnumerate::deviceRecord()
{
    QFETCH(QByteArray, keys);
    QFETCH(QVariantMap, record);

    addDevice(keys.constData());
    hidEnumerate hid;
    hid.enumerate();
    QCOMPARE(hid.getDevlist().size(), 1);
    const QVariant entry = hid.getDevlist().first();
    QCOMPARE(entry.userType(), int(QMetaType::QVariantMap));
    const QVariantMap actual = entry.toMap();
    QCOMPARE(actual.keys(), record.keys());
    for (auto it = record.cbegin(); it != record.cend(); ++it) {
        QCOMPARE(actual.value(it.key()).userType(), it.value().userType());
        QCOMPARE(actual.value(it.key()), it.value());
    }
}

void TestHidEnumerate::firstAcceptedDeviceWins()
{
    addDevice("kind=mute");
    addDevice("kind=foreign");
    addDevice("fail=information:zero-ready");
    addDevice("microcode=V1R1100");
    addDevice("microcode=V2R0000");
    hidEnumerate hid;
    hid.enumerate();

    QCOMPARE(opened(), (QVector<int>{0, 1, 2, 3}));
    QCOMPARE(closed(), (QVector<int>{0, 1, 2}));
    for (int refused : {0, 1, 2})
        QCOMPARE(FakeHid::device(refused).probesReceived(), refused == 0 ? 0 : 1);
    QCOMPARE(FakeHid::device(4).probesReceived(), 0);
    QCOMPARE(hid.getDevlist().size(), 1);
    QCOMPARE(hid.getDevlist().first().toMap().value("path").toString(), QStringLiteral("/fake/hidraw3"));
    QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.100"));
    // every device that opened got the probe, the mute one included
    int probesToMute = 0;
    for (const FakeHid::Call &call : FakeHid::calls("hid_send_feature_report"))
        probesToMute += (call.device == 0 && call.bytes.at(0) == 0x01) ? 1 : 0;
    QCOMPARE(probesToMute, 1);
    verifyInitExitPairing();
}

void TestHidEnumerate::devlistIsReplaced()
{
    addDevice("");
    hidEnumerate hid;
    QSignalSpy finished(&hid, &hidEnumerate::hidFinished);
    hid.enumerate();
    hid.enumerate();
    QCOMPARE(finished.count(), 2);
    QCOMPARE(hid.getDevlist().size(), 1);
    // the device kept open by the first search is closed before it is opened again
    QCOMPARE(opened(), (QVector<int>{0, 0}));
    QCOMPARE(closed(), (QVector<int>{0}));
    QCOMPARE(FakeHid::openHandles(), 1);
    verifyInitExitPairing();
}

void TestHidEnumerate::versionsKeptWhenNothingFound()
{
    const int device = addDevice("firmware=02R0200 microcode=V1R1105");
    hidEnumerate hid;
    hid.enumerate();
    QCOMPARE(hid.getFWver(), QStringLiteral("02.0.200"));
    FakeHid::device(device).config().failStep = Rt48px::Step::Information;
    FakeHid::device(device).config().microcode = "V9R9999";
    hid.enumerate();
    QVERIFY(hid.getDevlist().isEmpty());
    QCOMPARE(hid.getFWver(), QStringLiteral("02.0.200"));
    QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.105"));
    QCOMPARE(FakeHid::openHandles(), 0);
    verifyInitExitPairing();
}

void TestHidEnumerate::noDeviceAtAll()
{
    hidEnumerate hid;
    QSignalSpy finished(&hid, &hidEnumerate::hidFinished);
    hid.enumerate();
    QCOMPARE(finished.count(), 1);
    QVERIFY(hid.getDevlist().isEmpty());
    QCOMPARE(functions(), (QStringList{"hid_enumerate", "hid_free_enumeration"}));
    QCOMPARE(FakeHid::calls("hid_free_enumeration").front().result, 0);   // freed with null
    QVERIFY(!hid.opendev());
    QCOMPARE(FakeHid::calls("hid_free_enumeration").size(), size_t(2));
    QVERIFY(g_messages.isEmpty());
}

void TestHidEnumerate::opendev_data()
{
    QTest::addColumn<QByteArrayList>("devices");
    QTest::addColumn<int>("kept");   // -1: none

    QTest::newRow("rt48px") << QByteArrayList{""} << 0;
    QTest::newRow("mute first") << QByteArrayList{"kind=mute", ""} << 1;
    QTest::newRow("foreign takes the probe") << QByteArrayList{"kind=foreign", ""} << 0;
    QTest::newRow("unopenable first") << QByteArrayList{"open=fails", ""} << 1;
    QTest::newRow("no signature check") << QByteArrayList{"fail=probe-reply:wrong-signature"} << 0;
    QTest::newRow("none takes the probe") << QByteArrayList{"kind=mute", "open=fails", "fail=probe"} << -1;
}

void TestHidEnumerate::opendev()
{
    QFETCH(QByteArrayList, devices);
    QFETCH(int, kept);
    for (const QByteArray &keys : devices)
        addDevice(keys.constData());

    hidEnumerate hid;
    QCOMPARE(hid.opendev(), kept >= 0);
    QCOMPARE(FakeHid::openHandles(), kept >= 0 ? 1 : 0);
    QVERIFY(FakeHid::calls("hid_get_feature_report").empty());
    const std::vector<FakeHid::Call> sends = FakeHid::calls("hid_send_feature_report");
    for (const FakeHid::Call &call : sends) {
        QCOMPARE(call.length, size_t(512));
        QCOMPARE(bytes(call.bytes).left(7), QByteArray::fromHex("014655FF454E2D"));
    }
    if (kept >= 0)
        QCOMPARE(sends.back().device, kept);
    QVERIFY(!opened().contains(kept + 1) || kept < 0);
    verifyInitExitPairing();
}

void TestHidEnumerate::opendevClosesDeviceOfEnumerate()
{
    addDevice("");
    hidEnumerate hid;
    hid.enumerate();
    QVERIFY(hid.opendev());
    QCOMPARE(closed(), (QVector<int>{0}));
    QCOMPARE(FakeHid::openHandles(), 1);
    verifyInitExitPairing();
}

void TestHidEnumerate::send0XA0()
{
    const int device = addDevice("");
    hidEnumerate hid;
    QVERIFY(hid.opendev());
    FakeHid::clearTranscript();
    QVERIFY(hid.send0XA0());
    QCOMPARE(functions(), (QStringList{"hid_send_feature_report", "hid_close", "hid_exit"}));
    const FakeHid::Call command = FakeHid::calls("hid_send_feature_report").front();
    QCOMPARE(command.length, size_t(8));
    QCOMPARE(bytes(command.bytes), QByteArray::fromHex("A24655A0004354D2"));
    QCOMPARE(FakeHid::device(device).commandsReceived(), 1);
    QCOMPARE(FakeHid::openHandles(), 0);
}

void TestHidEnumerate::send0XA0WithoutDevice()
{
    addDevice("");
    hidEnumerate hid;
    QVERIFY(hid.send0XA0());
    QVERIFY(FakeHid::transcript().empty());   // no null device handed to hidapi
    QVERIFY(!hid.send0XFF());
    QCOMPARE(g_messages, QStringList{"0xff send failed"});
    QVERIFY(FakeHid::transcript().empty());
}

void TestHidEnumerate::send0XFF_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("confirmed") << QByteArray("") << true << QStringList();
    QTest::newRow("short confirmation") << QByteArray("fail=confirmation:short") << true << QStringList();
    QTest::newRow("empty confirmation") << QByteArray("fail=confirmation:empty") << false
                                        << QStringList{"0xff get fails"};
    QTest::newRow("confirmation fails") << QByteArray("fail=confirmation:negative") << false
                                        << QStringList{"0xff get fails"};
}

void TestHidEnumerate::send0XFF()
{
    QFETCH(QByteArray, keys);
    QFETCH(bool, result);
    QFETCH(QStringList, messages);

    addDevice(keys.constData());
    hidEnumerate hid;
    QVERIFY(hid.opendev());
    FakeHid::clearTranscript();
    QCOMPARE(hid.send0XFF(), result);
    QCOMPARE(g_messages, messages);

    const FakeHid::Call probe = FakeHid::calls("hid_send_feature_report").front();
    QCOMPARE(probe.length, size_t(7));
    QCOMPARE(bytes(probe.bytes), QByteArray::fromHex("014655FF454E2D"));
    const FakeHid::Call read = FakeHid::calls("hid_get_feature_report").front();
    QCOMPARE(read.length, size_t(7));
    QCOMPARE(bytes(read.bytes), QByteArray::fromHex("22000000000000"));
    QCOMPARE(FakeHid::openHandles(), result ? 0 : 1);
    QCOMPARE(FakeHid::calls("hid_exit").size(), size_t(result ? 1 : 0));

    // a failed confirmation keeps the device: the next send goes to it again
    if (!result) {
        FakeHid::device(0).config().failStep = Rt48px::Step::None;
        QVERIFY(hid.send0XFF());
        QCOMPARE(FakeHid::openHandles(), 0);
    }
}

void TestHidEnumerate::destructorCloses()
{
    addDevice("");
    {
        hidEnumerate hid;
        hid.enumerate();
        QCOMPARE(FakeHid::openHandles(), 1);
    }
    QCOMPARE(FakeHid::openHandles(), 0);
    verifyInitExitPairing();
}

void TestHidEnumerate::initFailure()
{
    addDevice("");
    FakeHid::setInitResult(-1);
    hidEnumerate hid;
    hid.enumerate();
    QVERIFY(hid.getDevlist().isEmpty());
    QVERIFY(FakeHid::calls("hid_open_path").empty());
    QVERIFY(FakeHid::calls("hid_exit").empty());
    QCOMPARE(g_messages, QStringList{"open device faile QVariant(QString, \"/fake/hidraw0\")"});
}

void TestHidEnumerate::ucodeFromConfig_data()
{
    QTest::addColumn<QByteArray>("config");   // empty: no file
    QTest::addColumn<QByteArray>("microcode");
    QTest::addColumn<int>("ucode");
    QTest::addColumn<QString>("compareStatusAfter");

    QTest::newRow("no file, default version") << QByteArray() << QByteArray("V1R1104") << 0 << "true";
    QTest::newRow("no file, higher") << QByteArray() << QByteArray("V1R1105") << 1 << "true";
    QTest::newRow("lower") << QByteArray("needUp4k=1.1.104\ncompareStatus=true\n") << QByteArray("V1R1103") << 1 << "true";
    QTest::newRow("equal") << QByteArray("needUp4k=1.1.104\ncompareStatus=true\n") << QByteArray("V1R1104") << 0 << "true";
    QTest::newRow("check off") << QByteArray("needUp4k=1.1.104\ncompareStatus=false\n") << QByteArray("V0R0001") << 0 << "false";
    QTest::newRow("TRUE repaired") << QByteArray("needUp4k=1.1.104\ncompareStatus=TRUE\n") << QByteArray("V0R0001") << 1 << "true";
    QTest::newRow("empty needUp4k") << QByteArray("needUp4k=\ncompareStatus=true\n") << QByteArray("V1R1104") << 1 << "true";
    QTest::newRow("lower-case v stays") << QByteArray("needUp4k=1.1.104\n") << QByteArray("v1R1104") << 1 << "true";
}

void TestHidEnumerate::ucodeFromConfig()
{
    QFETCH(QByteArray, config);
    QFETCH(QByteArray, microcode);
    QFETCH(int, ucode);
    QFETCH(QString, compareStatusAfter);

    if (!config.isEmpty())
        writeConfig(config);
    Rt48px::DeviceConfig device;
    device.microcode = microcode.toStdString();
    FakeHid::addDevice(device);
    hidEnumerate hid;
    hid.enumerate();
    QCOMPARE(hid.getDevlist().size(), 1);
    QCOMPARE(hid.getDevlist().first().toMap().value("ucode"), QVariant(ucode));

    QSettings settings(configPath(), QSettings::IniFormat);
    QCOMPARE(settings.value("compareStatus").toString(), compareStatusAfter);
    QVERIFY(settings.contains("needUp4k"));
}

int main(int argc, char **argv)
{
    if (ProgramFolderCopy::needed())
        return ProgramFolderCopy::run(argc, argv);
    QCoreApplication app(argc, argv);
    TestHidEnumerate test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidenumerate.moc"
