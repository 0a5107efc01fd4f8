// The main QML document from the resources loads into a window with its title
// bar. The QML compiler only rejects syntax; unknown types, missing
// context properties and broken relative paths show up here. On a real X
// display: a later start brings that window back.
#include "../qml/Wizard.h"

class tst_MainQml : public QObject
{
    Q_OBJECT

private slots:
    void loadsIntoAWindow()
    {
        Wizard wizard;
        QVERIFY2(wizard.window, qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
        QTRY_COMPARE(wizard.item("head_load")->property("status").toInt(), 1);   // Loader.Ready
        QVERIFY2(wizard.warnings.isEmpty(), qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
    }

    // Restored to its size, in front once, never kept on top.
    void broughtToFront()
    {
        Wizard wizard;
        QVERIFY(wizard.window);
        const QSize size = wizard.window->size();
        for (const Qt::WindowState state : {Qt::WindowMinimized, Qt::WindowMaximized}) {
            wizard.window->setWindowStates(state);
            QTRY_COMPARE(wizard.window->windowStates(), Qt::WindowStates(state));
            PlatformQuirks::bringToFront(wizard.window);
            QTRY_COMPARE(wizard.window->windowStates(), Qt::WindowStates(Qt::WindowNoState));
            QTRY_COMPARE(wizard.window->size(), size);
            QVERIFY(wizard.window->isVisible() && !(wizard.window->flags() & Qt::WindowStaysOnTopHint));
        }
    }
};

WIZARD_TEST_MAIN(tst_MainQml)
#include "tst_mainqml.moc"
