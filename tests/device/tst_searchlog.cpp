// The log's account of a search: the RT48PX in full, every other device as
// vendor:product only.
#include "SearchLog.h"

#include <QtTest>

namespace {

QVariantMap record(const QString &vid, const QString &pid, const QString &name, const QString &serial, const QString &path,
                   int ucode = 0)
{
    return {{"vid", vid}, {"pid", pid}, {"modelname", name}, {"manufacturer", name + "-Maker"},
            {"serial_number", serial}, {"path", path}, {"release_number", 0x104}, {"interface_number", 2},
            {"ucode", ucode}};
}

}

Q_DECLARE_METATYPE(SeenDevices)

class tst_SearchLog : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<SeenDevices>("devices");
        QTest::addColumn<QStringList>("lines");
        using O = SeenDevice::Outcome;
        const QVariantMap mouse = record("f0e2", "0002", "Mouse", "M-1", "/dev/hidraw0");
        const QVariantMap keyboard = record("f0e3", "1234", "Keyboard", "K-9", "/dev/hidraw2");
        QTest::newRow("nothing attached") << SeenDevices{} << QStringList{"search: 0 HID devices"};
        QTest::newRow("others only")
            << SeenDevices{{mouse, O::NotOpened}, {keyboard, O::Refused}}
            << QStringList{"search: 2 HID devices: f0e2:0002 not opened, f0e3:1234 refused"};
        QTest::newRow("RT48PX, micro-code stage")
            << SeenDevices{{mouse, O::Refused}, {record("f0e1", "0048", "KVM", "S-1", "/dev/hidraw1", 1), O::Accepted},
                           {keyboard, O::NotAsked}}
            << QStringList{"search: 3 HID devices: f0e2:0002 refused, f0e1:0048 accepted, f0e3:1234 not asked",
                           "RT48PX: f0e1:0048 \"KVM\" by \"KVM-Maker\", serial \"S-1\", release 0104, interface 2, path /dev/hidraw1",
                           "RT48PX versions: firmware 01.0.107, micro-code V1.1.103; needUp4k 1.1.104 -> micro-code stage needed"};
        QTest::newRow("RT48PX alone, stage skipped")
            << SeenDevices{{record("f0e1", "0048", "KVM", "", "p#q", 0), O::Accepted}}
            << QStringList{"search: 1 HID device: f0e1:0048 accepted",
                           "RT48PX: f0e1:0048 \"KVM\" by \"KVM-Maker\", serial \"\", release 0104, interface 2, path p#q",
                           "RT48PX versions: firmware 01.0.107, micro-code V1.1.103; needUp4k 1.1.104 -> micro-code stage skipped"};
    }
    void lines()
    {
        QFETCH(SeenDevices, devices);
        QFETCH(QStringList, lines);
        QCOMPARE(SearchLog::lines(devices, "01.0.107", "V1.1.103", "needUp4k 1.1.104"), lines);
    }
};

QTEST_APPLESS_MAIN(tst_SearchLog)
#include "tst_searchlog.moc"
