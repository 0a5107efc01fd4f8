// hidEnumerate over the real hidapi-hidraw, run as the child of rt48px-hidraw:
// the emulated devices are hidraw nodes in a umockdev testbed. The harness's
// options in CMakeLists.txt give the scenario each test function expects.
#include "DeviceTest.h"
#include "TextFiles.h"
#include "hidEnumerate.h"

#include <QtTest>

using DeviceTest::messages;

namespace {

// The reports in the harness's transcript after the first `from`.
QStringList reports(int from = 0)
{
    return TextFiles::reports(qEnvironmentVariable("RT48PX_HIDRAW_TRANSCRIPT")).mid(from);
}

// A line to the harness's control FIFO.
bool control(const QByteArray &command) { return TextFiles::write(qEnvironmentVariable("RT48PX_HIDRAW_CONTROL"), command + '\n'); }

// The identification: the mouse refuses the probe, the RT48PX takes it and the
// exchange that follows (the device refuses any wrong byte: result -1).
const QStringList kProbes{"/dev/hidraw0 send 01 512 -1", "/dev/hidraw1 send 01 512 512"};

}

class TestHidraw : public QObject
{
    Q_OBJECT

private slots:
    void init() { DeviceTest::init(); }

    // scenario: mouse (mute), RT48PX (microcode V1R1103), foreign device
    void identificationAndCommands()
    {
        int before = reports().size();
        hidEnumerate hid;
        QVERIFY(!hid.opendev());   // no search has accepted a device yet
        QCOMPARE(reports().size(), before);
        hid.enumerate();
        QCOMPARE(hid.getDevlist().size(), 1);
        QCOMPARE(hid.getDevlist().first().toMap(), DeviceTest::record("/dev/hidraw1", 1));
        QCOMPARE(hid.getUPver(), QStringLiteral("V1.1.103"));
        QVERIFY(messages.isEmpty());
        QStringList exchange = reports(before);
        QCOMPARE(exchange.mid(0, 2), kProbes);
        QCOMPARE(exchange.size(), 7);
        exchange = exchange.mid(1);   // what opendev repeats: the accepted device alone identifies again
        QVERIFY(exchange.filter(QStringLiteral("/dev/hidraw1 ")).size() == 6 && exchange.filter(QStringLiteral(" -1")).isEmpty());

        before = reports().size();
        QVERIFY(hid.opendev());
        QVERIFY(hid.send0XA0());
        QCOMPARE(reports(before), exchange + QStringList{"/dev/hidraw1 send a2 8 8"});
        before = reports().size();
        // send0XA0 closed the device: there is nothing left to confirm
        QVERIFY(!hid.send0XFF());
        QCOMPARE(messages, QStringList{"0xff send failed"});

        QVERIFY(hid.opendev());
        QVERIFY(hid.send0XFF());
        QCOMPARE(reports(before), (exchange + QStringList{"/dev/hidraw1 send 01 7 7", "/dev/hidraw1 get 22 7 7"}));
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
