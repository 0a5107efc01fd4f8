// HidSocket as QML sees it: created from "com.velm.HID" 1.0, its invokables
// called from QML, hidFinished seen by a QML handler, and the meta-object order.
#include "FakeHid.h"
#include "ProgramFolderCopy.h"
#include "hidEnumerate.h"

#include <QMetaMethod>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

namespace {

const char kDocument[] = R"(
import QtQml 2.15
import com.velm.HID 1.0

HidSocket {
    property int finishedCount: 0
    property var seen: []
    onHidFinished: { finishedCount += 1; seen = devlist }

    function search() { enumerate(); return devlist.length }
    function upgradeSteps() {
        return [opendev(), send0XA0(), opendev(), send0XFF(), send0XFF()]
    }
}
)";

}

class TestHidSocketQml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket");
    }
    void init() { FakeHid::reset(); }

    void metaObjectOrder();
    void searchFromQml_data();
    void searchFromQml();
    void commandsFromQml();
};

void TestHidSocketQml::metaObjectOrder()
{
    const QMetaObject &meta = hidEnumerate::staticMetaObject;
    QStringList methods;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i)
        methods << QString::fromLatin1(meta.method(i).methodSignature());
    QCOMPARE(methods, (QStringList{"hidFinished()", "send0XA0()", "send0XFF()", "enumerate()", "opendev()",
                                   "getFWver()", "getUPver()"}));
    QCOMPARE(meta.method(meta.methodOffset()).methodType(), QMetaMethod::Signal);
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), 1);
    const QMetaProperty devlist = meta.property(meta.propertyOffset());
    QCOMPARE(devlist.name(), "devlist");
    QCOMPARE(devlist.userType(), int(QMetaType::QVariantList));
    QVERIFY(!devlist.isWritable());
    QCOMPARE(devlist.notifySignal().name(), QByteArray("hidFinished"));
}

void TestHidSocketQml::searchFromQml_data()
{
    QTest::addColumn<QByteArrayList>("devices");
    QTest::addColumn<int>("found");
    QTest::newRow("rt48px behind a mute device") << QByteArrayList{"kind=mute", ""} << 1;
    QTest::newRow("nothing answers") << QByteArrayList{"kind=foreign"} << 0;
    QTest::newRow("no device") << QByteArrayList{} << 0;
}

void TestHidSocketQml::searchFromQml()
{
    QFETCH(QByteArrayList, devices);
    QFETCH(int, found);
    for (const QByteArray &keys : devices) {
        Rt48px::DeviceConfig config;
        std::string error;
        QVERIFY(Rt48px::parseDeviceKeys(keys.toStdString(), config, error));
        FakeHid::addDevice(config);
    }

    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(kDocument, QUrl(QStringLiteral("qrc:/HidSocketTest.qml")));
    QScopedPointer<QObject> socket(component.create());
    QVERIFY2(socket, qPrintable(component.errorString()));
    QVERIFY(qobject_cast<hidEnumerate *>(socket.data()));

    for (int round = 1; round <= 2; ++round) {
        QVariant length;
        QVERIFY(QMetaObject::invokeMethod(socket.data(), "search", Q_RETURN_ARG(QVariant, length)));
        QCOMPARE(length.toInt(), found);
        QCOMPARE(socket->property("finishedCount").toInt(), round);
        // the handler ran inside enumerate() and saw the new list
        const QVariantList seen = socket->property("seen").toList();
        QCOMPARE(seen.size(), found);
        if (found) {
            const QVariantMap record = seen.first().toMap();
            QCOMPARE(record.value(QStringLiteral("path")).toString(), QStringLiteral("/fake/hidraw1"));
            QCOMPARE(record.value(QStringLiteral("ucode")).toInt(), 0);
        }
    }
}

void TestHidSocketQml::commandsFromQml()
{
    const int device = FakeHid::addDevice();
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(kDocument, QUrl(QStringLiteral("qrc:/HidSocketTest.qml")));
    QScopedPointer<QObject> socket(component.create());
    QVERIFY2(socket, qPrintable(component.errorString()));

    QVariant steps;
    QTest::ignoreMessage(QtDebugMsg, "0xff send failed");
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "upgradeSteps", Q_RETURN_ARG(QVariant, steps)));
    // opendev, send0XA0, opendev, send0XFF (closes), send0XFF with no device
    QCOMPARE(steps.toList(), (QVariantList{true, true, true, true, false}));
    QCOMPARE(FakeHid::device(device).commandsReceived(), 1);
    QCOMPARE(FakeHid::openHandles(), 0);

    QString firmware;
    QString microcode;
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "getFWver", Q_RETURN_ARG(QString, firmware)));
    QCOMPARE(firmware, QString());   // nothing identified yet: opendev reads no versions
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "enumerate"));
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "getFWver", Q_RETURN_ARG(QString, firmware)));
    QVERIFY(QMetaObject::invokeMethod(socket.data(), "getUPver", Q_RETURN_ARG(QString, microcode)));
    QCOMPARE(firmware, QStringLiteral("01.0.107"));
    QCOMPARE(microcode, QStringLiteral("V1.1.104"));
}

int main(int argc, char **argv)
{
    if (ProgramFolderCopy::needed())
        return ProgramFolderCopy::run(argc, argv);
    QCoreApplication app(argc, argv);
    TestHidSocketQml test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hidsocketqml.moc"
