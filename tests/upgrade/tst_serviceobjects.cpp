// What QML sees of the three service objects: their members in meta-object
// order, their properties and notify signals.
#include "ProcessInfo.h"
#include "UpgradeEventFilter.h"
#include "UpgradeTestWorld.h"
#include "fileIo.h"

#include <QMetaMethod>
#include <QtTest>

Q_DECLARE_METATYPE(const QMetaObject *)

class tst_ServiceObjects : public QObject
{
    Q_OBJECT

private slots:
    void members_data()
    {
        QTest::addColumn<const QMetaObject *>("meta");
        QTest::addColumn<QStringList>("methods");      // "<kind> <signature>", in meta-object order
        QTest::addColumn<QStringList>("properties");   // "<name> <notify signal>", read-only marked "ro"
        QTest::newRow("fileIo") << &fileIo::staticMetaObject
                                << QStringList{"signal sourceChanged(QUrl)", "signal textChanged(QString)",
                                               "slot setSource(QUrl)", "slot setText(QString)", "method read()",
                                               "method write()", "method loadSettings(QString,QString)",
                                               "method getAppPath()", "method copyFile(QString)",
                                               "method get_userappdata_path()"}
                                << QStringList{"source sourceChanged", "text textChanged"};
        QTest::newRow("ProcessInfo") << &ProcessInfo::staticMetaObject
                                     << QStringList{"signal statusChanged()", "slot getDriverProcess()",
                                                    "method openProcess(QString,int)",
                                                    "method get_userappdata_path()", "method start_Upgrade()",
                                                    "method openReport(QString)"}
                                     << QStringList{"result statusChanged ro"};
        QTest::newRow("UpgradeEventFilter") << &UpgradeEventFilter::staticMetaObject
                                            << QStringList{"signal statusChanged()", "slot emitResult(int)",
                                                           "method sendDeviceInfo(QString,int)"}
                                            << QStringList{"result statusChanged ro"};
    }

    void members()
    {
        QFETCH(const QMetaObject *, meta);
        QFETCH(QStringList, methods);
        QFETCH(QStringList, properties);
        QStringList seen;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            static const char *const kinds[] = {"method", "signal", "slot", "constructor"};
            seen << QString::fromLatin1(kinds[method.methodType()]) + QLatin1Char(' ')
                    + QString::fromLatin1(method.methodSignature());
        }
        QCOMPARE(seen, methods);
        seen.clear();
        for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            seen << QString::fromLatin1(property.name()) + QLatin1Char(' ')
                    + QString::fromLatin1(property.notifySignal().name())
                    + (property.isWritable() ? QString() : QStringLiteral(" ro"));
        }
        QCOMPARE(seen, properties);
    }

    void filterIsBothQObjectAndNativeFilter()
    {
        UpgradeTestWorld world;
        UpgradeEventFilter filter;
        QObject *object = &filter;
        QCOMPARE(object->qt_metacast("QAbstractNativeEventFilter"),
                 static_cast<void *>(static_cast<QAbstractNativeEventFilter *>(&filter)));
    }
};

QTEST_GUILESS_MAIN(tst_ServiceObjects)
#include "tst_serviceobjects.moc"
