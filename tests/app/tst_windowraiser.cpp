// Raising the wizard's window on a real X display.
#include "WindowRaiser.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QtTest>

class tst_WindowRaiser : public QObject
{
    Q_OBJECT

private:
    QQuickWindow *load(QQmlApplicationEngine &engine)
    {
        engine.loadData("import QtQuick 2.7\nimport QtQuick.Window 2.2\n"
                        "Window { x: 40; y: 30; width: 300; height: 200; visible: true }");
        if (engine.rootObjects().isEmpty())
            return nullptr;
        return qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    }

private slots:
    void restoresToNormal_data()
    {
        QTest::addColumn<int>("state");
        QTest::newRow("minimised") << int(Qt::WindowMinimized);
        QTest::newRow("maximised") << int(Qt::WindowMaximized);
        QTest::newRow("normal") << int(Qt::WindowNoState);
    }

    void restoresToNormal()
    {
        QFETCH(int, state);
        QQmlApplicationEngine engine;
        QQuickWindow *window = load(engine);
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QSize size = window->size();

        window->setWindowStates(Qt::WindowStates(state));
        QTRY_COMPARE(int(window->windowStates()), state);

        WindowRaiser raise(engine);
        raise();

        QTRY_COMPARE(window->windowStates(), Qt::WindowStates(Qt::WindowNoState));
        QVERIFY(window->isVisible());
        QTRY_COMPARE(window->size(), size);
        QVERIFY(!(window->flags() & Qt::WindowStaysOnTopHint));
    }

    void ignoresWhatIsNoWindow()
    {
        QQmlApplicationEngine empty;
        WindowRaiser{empty}();   // no root object at all

        QQmlApplicationEngine item;
        item.loadData("import QtQuick 2.7\nItem {}");
        QCOMPARE(item.rootObjects().size(), 1);
        WindowRaiser{item}();    // a root object that is no window
    }
};

QTEST_MAIN(tst_WindowRaiser)
#include "tst_windowraiser.moc"
