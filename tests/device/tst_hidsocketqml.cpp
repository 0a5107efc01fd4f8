// HidSocket as QML sees it, registered by the program's own wiring: created from
// "com.velm.HID" 1.0, its invokables called from QML, hidFinished seen by a QML
// handler, devlist in a binding.
#include "DeviceTest.h"
#include "FakeHid.h"
#include "WizardServices.h"
#include "hidEnumerate.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

class TestHidSocketQml : public QObject
{
    Q_OBJECT

private slots:
    void fromQml();
};

void TestHidSocketQml::fromQml()
{
    Rt48px::DeviceConfig mute;
    mute.kind = Rt48px::Kind::Mute;
    FakeHid::addDevice(mute);
    const int device = FakeHid::addDevice();

    QQmlEngine engine;
    WizardServices services(QDir::tempPath());
    services.expose(engine);
    QQmlComponent component(&engine);
    component.setData(R"(
        import QtQml 2.15
        import com.velm.HID 1.0
        HidSocket {
            property int finishedCount: 0
            property var seen: []
            property int bound: devlist.length
            onHidFinished: { finishedCount += 1; seen = devlist }
            function steps() {
                var results = [getFWver(), opendev()]
                enumerate()
                return results.concat([opendev(), send0XA0(), opendev(), send0XFF(), send0XFF(), getFWver(), getUPver()])
            }
        })", QUrl(QStringLiteral("qrc:/HidSocketTest.qml")));
    QScopedPointer<QObject> socket(component.create());
    QVERIFY2(socket, qPrintable(component.errorString()));
    QVERIFY(qobject_cast<hidEnumerate *>(socket.data()));

    QVariant steps;
    QTest::ignoreMessage(QtDebugMsg, "0xff send failed");
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "steps", Q_RETURN_ARG(QVariant, steps)));
    // opendev opens nothing before a search has accepted a device; the last
    // send0XFF finds the device closed
    QCOMPARE(steps.toList(), (QVariantList{"", false, true, true, true, true, false, "01.0.107", "V1.1.104"}));
    QCOMPARE(FakeHid::device(device).commandsReceived(), 1);
    QCOMPARE(socket->property("finishedCount").toInt(), 1);
    QCOMPARE(socket->property("bound").toInt(), 1);
    const QVariantList seen = socket->property("seen").toList();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.first().toMap().value(QStringLiteral("path")).toString(), QStringLiteral("/fake/hidraw1"));

    // the handler runs inside enumerate() and sees the new list
    FakeHid::setPresent(device, false);
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "enumerate"));
    QCOMPARE(socket->property("finishedCount").toInt(), 2);
    QCOMPARE(socket->property("seen").toList().size(), 0);
    QCOMPARE(socket->property("bound").toInt(), 0);
}

DEVICE_TEST_MAIN(TestHidSocketQml)
#include "tst_hidsocketqml.moc"
