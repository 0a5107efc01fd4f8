// Raising the wizard's window on a real X display.
#include "PlatformQuirks.h"

#include <QGuiApplication>
#include <QtTest>

class tst_WindowRaiser : public QObject
{
    Q_OBJECT

private slots:
    void restoresToNormal_data()
    {
        QTest::addColumn<int>("state");
        QTest::newRow("minimised") << int(Qt::WindowMinimized);
        QTest::newRow("maximised") << int(Qt::WindowMaximized);
    }
    void restoresToNormal()
    {
        QFETCH(int, state);
        QWindow window;
        window.setGeometry(40, 30, 300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize size = window.size();
        window.setWindowStates(Qt::WindowStates(state));
        QTRY_COMPARE(int(window.windowStates()), state);

        PlatformQuirks::bringToFront(&window);
        QTRY_COMPARE(window.windowStates(), Qt::WindowStates(Qt::WindowNoState));
        QVERIFY(window.isVisible());
        QTRY_COMPARE(window.size(), size);
        QVERIFY(!(window.flags() & Qt::WindowStaysOnTopHint));
    }
};

QTEST_MAIN(tst_WindowRaiser)
#include "tst_windowraiser.moc"
