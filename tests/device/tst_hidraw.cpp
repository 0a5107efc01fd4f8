// hidEnumerate over the real hidapi-hidraw, run as the child of rt48px-hidraw:
// the emulated devices are hidraw nodes in a umockdev testbed. The scenario is
// given by the harness's options in CMakeLists.txt; each test function names the
// scenario it expects.
#include "ProgramFolderCopy.h"
#include "hidEnumerate.h"

#include <QFile>
#include <QtTest>

namespace {

QStringList g_messages;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages << message;
}

// The lines the harness has written to its transcript since `from` (a byte offset).
QStringList transcriptSince(qint64 from)
{
    QFile file(qEnvironmentVariable("RT48PX_HIDRAW_TRANSCRIPT"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    file.seek(from);
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

qint64 transcriptSize()
{
    return QFile(qEnvironmentVariable("RT48PX_HIDRAW_TRANSCRIPT")).size();
}

// "device 1 /dev/hidraw1 send length 8 result 8: a2 46 ..." -> the part before ":"
// and the bytes, for exact comparison.
QString head(const QString &line)
{
    return line.section(QLatin1Char(':'), 0, 0);
}

QString sent(const QString &line)
{
    return line.section(QStringLiteral(": "), 1).section(QStringLiteral(" -> "), 0, 0);
}

QString zeros(int count)
{
    QStringList bytes;
    for (int i = 0; i < count; ++i)
        bytes << QStringLiteral("00");
    return bytes.join(QLatin1Char(' '));
}

QString path(const hidEnumerate &hid)
{
    const QVariantList list = hid.getDevlist();
    return list.isEmpty() ? QString() : list.first().toMap().value(QStringLiteral("path")).toString();
}

bool sendControl(const QByteArray &line)
{
    QFile control(qEnvironmentVariable("RT48PX_HIDRAW_CONTROL"));
    return control.open(QIODevice::WriteOnly) && control.write(line + '\n') == line.size() + 1;
}

}

class TestHidraw : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("RT48PX_HIDRAW_TRANSCRIPT"), "run me under rt48px-hidraw");
    }
    void init()
    {
        QFile::remove(QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini"));
        g_messages.clear();
        qInstallMessageHandler(capture);
    }
    void cleanup() { qInstallMessageHandler(nullptr); }

    // scenario: mouse (mute), RT48PX (microcode V1R1103), foreign device
    void identification();
    void opendevAndCommands();
    void replugGivesNewNode();
    // scenario: devices that each fail one step, one that cannot be opened
    void refusedDevices();
};

void TestHidraw::identification()
{
    const qint64 start = transcriptSize();
    hidEnumerate hid;
    hid.enumerate();

    QCOMPARE(hid.getDevlist().size(), 1);
    const QVariantMap record = hid.getDevlist().first().toMap();
    const QVariantMap expected{{"interface_number", 0}, {"manufacturer", "VELM"}, {"modelname", "RT48PX KVM"},
                               {"path", "/dev/hidraw1"}, {"pid", "0048"}, {"release_number", 0x0104},
                               {"serial_number", "RT48PX-0001"}, {"ucode", 1}, {"vid", "f0e1"}};
    QCOMPARE(record, expected);
    QCOMPARE(hid.getFWver(), QStringLiteral("01.0.107"));
    QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.103"));
    QVERIFY(g_messages.isEmpty());

    const QStringList lines = transcriptSince(start);
    QStringList heads;
    for (const QString &line : lines)
        heads << head(line);
    QCOMPARE(heads, (QStringList{"device 0 /dev/hidraw0 send length 512 result -1",
                                 "device 1 /dev/hidraw1 send length 512 result 512",
                                 "device 1 /dev/hidraw1 get length 33 result 33",
                                 "device 1 /dev/hidraw1 send length 29 result 29",
                                 "device 1 /dev/hidraw1 get length 6 result 6",
                                 "device 1 /dev/hidraw1 send length 8 result 8",
                                 "device 1 /dev/hidraw1 get length 80 result 80"}));
    QCOMPARE(sent(lines[1]), QStringLiteral("01 46 55 ff 45 4e 2d ") + zeros(505));
    QCOMPARE(sent(lines[2]), QStringLiteral("81 ") + zeros(32));
    QCOMPARE(sent(lines[3]), QStringLiteral("82 46 55 80 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f "
                                            "20 21 22 23 24 25 26 27 28 29 2a 2b 0f"));
    QCOMPARE(sent(lines[4]), QStringLiteral("02 ") + zeros(5));
    QCOMPARE(sent(lines[5]), QStringLiteral("92 46 55 90 00 44 49 b8"));
    QCOMPARE(sent(lines[6]), QStringLiteral("12 ") + zeros(79));
}

void TestHidraw::opendevAndCommands()
{
    hidEnumerate hid;
    qint64 start = transcriptSize();
    QVERIFY(hid.opendev());
    QVERIFY(hid.send0XA0());
    QStringList lines = transcriptSince(start);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(head(lines[1]), QStringLiteral("device 1 /dev/hidraw1 send length 512 result 512"));
    QCOMPARE(head(lines[2]), QStringLiteral("device 1 /dev/hidraw1 send length 8 result 8"));
    QCOMPARE(sent(lines[2]), QStringLiteral("a2 46 55 a0 00 43 54 d2"));

    // after send0XA0 closed the device there is nothing left to confirm
    QVERIFY(!hid.send0XFF());
    QCOMPARE(g_messages, QStringList{"0xff send failed"});

    start = transcriptSize();
    QVERIFY(hid.opendev());
    QVERIFY(hid.send0XFF());
    lines = transcriptSince(start);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(head(lines[2]), QStringLiteral("device 1 /dev/hidraw1 send length 7 result 7"));
    QCOMPARE(sent(lines[2]), QStringLiteral("01 46 55 ff 45 4e 2d"));
    QCOMPARE(head(lines[3]), QStringLiteral("device 1 /dev/hidraw1 get length 7 result 7"));
    QCOMPARE(sent(lines[3]), QStringLiteral("22 00 00 00 00 00 00"));
}

void TestHidraw::replugGivesNewNode()
{
    hidEnumerate hid;
    hid.enumerate();
    const QString before = path(hid);
    QVERIFY(!before.isEmpty());
    QVERIFY(sendControl("replug 1"));
    QTRY_VERIFY_WITH_TIMEOUT((hid.enumerate(), !path(hid).isEmpty() && path(hid) != before), 20000);
    QVERIFY(path(hid).startsWith(QStringLiteral("/dev/hidraw")));
    QVERIFY(hid.opendev());
    QVERIFY(hid.send0XA0());
}

void TestHidraw::refusedDevices()
{
    hidEnumerate hid;
    hid.enumerate();
    QVERIFY(hid.getDevlist().isEmpty());
    QCOMPARE(g_messages, (QStringList{"chooseMasterModule Unable to send a feature report.",
                                      "chooseMasterModule Unable to get a feature report.",
                                      "getDeviceInformation Unable to get a feature report.",
                                      "unable to open device",
                                      "open device faile QVariant(QString, \"/dev/hidraw5\")"}));
    QCOMPARE(hid.getFWver(), QString());
    // opendev checks nothing but the probe: the first device keeps it
    QVERIFY(hid.opendev());
    QVERIFY(hid.send0XA0());
}

int main(int argc, char **argv)
{
    if (ProgramFolderCopy::needed())
        return ProgramFolderCopy::run(argc, argv);
    QCoreApplication app(argc, argv);
    TestHidraw test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidraw.moc"
