// The main QML document from the resources loads into a window with its title
// bar. The QML compiler only rejects syntax; unknown types, missing
// context properties and broken relative paths show up here.
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
};

WIZARD_TEST_MAIN(tst_MainQml)
#include "tst_mainqml.moc"
