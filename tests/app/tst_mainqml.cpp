// The main QML document from the resources comes up as a window. The QML
// compiler only rejects syntax; unknown types, missing context properties and
// broken relative paths show up here.
#include "../qml/WizardTestEnvironment.h"
#include "ProcessInfo.h"
#include "UpgradeEventFilter.h"
#include "fileIo.h"
#include "hidEnumerate.h"

#include <QApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtTest>

class tst_MainQml : public QObject
{
    Q_OBJECT

private slots:
    void loadsIntoAWindow()
    {
        QStringList warnings;
        QQmlApplicationEngine engine;
        connect(&engine, &QQmlApplicationEngine::warnings, this, [&](const QList<QQmlError> &list) {
            for (const QQmlError &error : list)
                warnings << error.toString();
        });
        fileIo io;
        ProcessInfo process;
        UpgradeEventFilter event;
        engine.rootContext()->setContextProperty(QStringLiteral("event"), &event);
        engine.rootContext()->setContextProperty(QStringLiteral("io"), &io);
        engine.rootContext()->setContextProperty(QStringLiteral("process"), &process);
        engine.rootContext()->setContextProperty(QStringLiteral("ap_ver"), QStringLiteral("1.1.107"));
        engine.rootContext()->setContextProperty(QStringLiteral("FWVer"), QString());
        engine.rootContext()->setContextProperty(QStringLiteral("CodeVer"), QString());
        qmlRegisterType<hidEnumerate>("com.velm.HID", 1, 0, "HidSocket");

        engine.load(QUrl(QStringLiteral("qrc:/main.qml")));
        QVERIFY2(!engine.rootObjects().isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
        auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->flags() & Qt::FramelessWindowHint);

        // The title bar loads from its relative path inside the resources.
        auto *head = qvariant_cast<QObject *>(qmlContext(window)->contextProperty(QStringLiteral("head_load")));
        QVERIFY(head);
        QTRY_COMPARE(head->property("status").toInt(), 1);   // Loader.Ready
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    }
};

int main(int argc, char *argv[])
{
    WizardTestEnvironment environment;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    QApplication app(argc, argv);
    tst_MainQml test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_mainqml.moc"
