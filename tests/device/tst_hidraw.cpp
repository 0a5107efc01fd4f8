// hidEnumerate over the real hidapi-hidraw, run as the child of rt48px-hidraw:
// the emulated devices are hidraw nodes in a umockdev testbed. The harness's
// options in CMakeLists.txt give the scenario each test function expects.
#include "DeviceTest.h"
#include "hidEnumerate.h"

#include <QtTest>

using DeviceTest::messages;

namespace {

// The harness's transcript from now on, each line without the device's reply.
class Transcript
{
public:
    Transcript()
    {
        if (m_file.open(QIODevice::ReadOnly))
            m_file.seek(m_file.size());
    }
    QStringList newLines()
    {
        QStringList lines = QString::fromLatin1(m_file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (QString &line : lines)
            line = line.section(QStringLiteral(" -> "), 0, 0);
        return lines;
    }

private:
    QFile m_file{qEnvironmentVariable("RT48PX_HIDRAW_TRANSCRIPT")};
};

// One transcript line; `hex` ("01 46 55") is padded with zeros to `length` bytes.
QString line(int device, const char *what, int length, int result, QString hex)
{
    while (hex.size() < 3 * length - 1)
        hex += QStringLiteral(" 00");
    return QStringLiteral("device %1 /dev/hidraw%1 %2 length %3 result %4: %5")
        .arg(device).arg(QLatin1String(what)).arg(length).arg(result).arg(hex);
}

// A line to the harness's control FIFO.
bool control(const QByteArray &command)
{
    QFile fifo(qEnvironmentVariable("RT48PX_HIDRAW_CONTROL"));
    return fifo.open(QIODevice::WriteOnly) && fifo.write(command + '\n') > 0;
}

const QString kProbe = QStringLiteral("01 46 55 ff 45 4e 2d");
// the identification: the mouse refuses the probe, the RT48PX takes it
const QStringList kProbes{line(0, "send", 512, -1, kProbe), line(1, "send", 512, 512, kProbe)};
// the exchange with the RT48PX after the probe
const QStringList kExchange{line(1, "get", 33, 33, "81"),
                            line(1, "send", 29, 29, "82 46 55 80 14 15 16 17 18 19 1a 1b 1c 1d 1e 1f "
                                                    "20 21 22 23 24 25 26 27 28 29 2a 2b 0f"),
                            line(1, "get", 6, 6, "02"), line(1, "send", 8, 8, "92 46 55 90 00 44 49 b8"),
                            line(1, "get", 80, 80, "12")};
// opendev: the device the search accepted, and only it, identifies again
const QStringList kOpenProbe = QStringList{line(1, "send", 512, 512, kProbe)} + kExchange;

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
        QFile::remove(VersionPolicy::settingsPath());
        DeviceTest::captureMessages();
    }

    // scenario: mouse (mute), RT48PX (microcode V1R1103), foreign device
    void identification()
    {
        Transcript transcript;
        hidEnumerate hid;
        hid.enumerate();
        QCOMPARE(hid.getDevlist().size(), 1);
        const QVariantMap expected{{"interface_number", 0}, {"manufacturer", "VELM"}, {"modelname", "RT48PX KVM"},
                                   {"path", "/dev/hidraw1"}, {"pid", "0048"}, {"release_number", 0x0104},
                                   {"serial_number", "RT48PX-0001"}, {"ucode", 1}, {"vid", "f0e1"}};
        QCOMPARE(hid.getDevlist().first().toMap(), expected);
        QCOMPARE(hid.getFWver(), QStringLiteral("01.0.107"));
        QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.103"));
        QVERIFY(messages.isEmpty());
        QCOMPARE(transcript.newLines(), kProbes + kExchange);
    }

    void opendevAndCommands()
    {
        Transcript transcript;
        hidEnumerate hid;
        QVERIFY(!hid.opendev());   // no search has accepted a device yet
        hid.enumerate();
        transcript.newLines();
        QVERIFY(hid.opendev());
        QVERIFY(hid.send0XA0());
        QCOMPARE(transcript.newLines(), (kOpenProbe + QStringList{line(1, "send", 8, 8, "a2 46 55 a0 00 43 54 d2")}));

        // send0XA0 closed the device: there is nothing left to confirm
        QVERIFY(!hid.send0XFF());
        QCOMPARE(messages, QStringList{"0xff send failed"});

        QVERIFY(hid.opendev());
        QVERIFY(hid.send0XFF());
        QCOMPARE(transcript.newLines(),
                 (kOpenProbe + QStringList{line(1, "send", 7, 7, kProbe), line(1, "get", 7, 7, "22")}));
    }

    // the same scenario: the RT48PX replugged (a new node) between the search and
    // the command, then unplugged with its node lingering (hidapi 0.13.1 crashed
    // opening such a node)
    void replugAndUnplug()
    {
        hidEnumerate hid;
        hid.enumerate();
        QVERIFY(control("replug 1"));
        QTRY_VERIFY(QFile::exists(QStringLiteral("/dev/hidraw3")));
        QVERIFY(!QFile::exists(QStringLiteral("/dev/hidraw1")));
        QVERIFY(hid.send0XFF());
        QCOMPARE(hid.getDevlist().value(0).toMap().value("path").toString(), QStringLiteral("/dev/hidraw3"));

        hid.enumerate();
        QVERIFY(control("linger 1"));
        QTRY_VERIFY(!QFile::exists(QStringLiteral("/sys/class/hidraw/hidraw3")));
        QVERIFY(QFile::exists(QStringLiteral("/dev/hidraw3")));
        QVERIFY(!hid.opendev());
        QVERIFY(hid.getDevlist().isEmpty());
    }

    // scenario: devices that each fail one step, one that cannot be opened
    void refusedDevices()
    {
        hidEnumerate hid;
        hid.enumerate();
        QVERIFY(hid.getDevlist().isEmpty());
        QCOMPARE(messages, (QStringList{"chooseMasterModule Unable to send a feature report.",
                                        "chooseMasterModule Unable to get a feature report.",
                                        "getDeviceInformation Unable to get a feature report.",
                                        "unable to open device",
                                        "open device faile QVariant(QString, \"/dev/hidraw5\")"}));
        QCOMPARE(hid.getFWver(), QString());
        // no device was accepted: opendev opens none of them
        QVERIFY(!hid.opendev());
    }
};

DEVICE_TEST_MAIN(TestHidraw)
#include "tst_hidraw.moc"
