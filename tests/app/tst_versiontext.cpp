#include "VersionText.h"

#include <QtTest>

class tst_VersionText : public QObject
{
    Q_OBJECT

private slots:
    void shortVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("expected");

        QTest::newRow("product version") << "1.1.107.1" << "1.1.107";
        QTest::newRow("build padded to three") << "1.2.5.0" << "1.2.005";
        QTest::newRow("minor read as number") << "3.04.17.9" << "3.4.017";
        QTest::newRow("width is a minimum") << "1.1.1234.0" << "1.1.1234";
        QTest::newRow("major kept as text") << "01.1.7.2" << "01.1.007";
        QTest::newRow("five parts") << "2.3.4.5.6" << "2.3.004";
        QTest::newRow("non-numeric parts") << "1.x.y.0" << "1.0.000";
        // Fewer than four parts: missing parts read as 0, never as garbage.
        QTest::newRow("three parts") << "1.2.3" << "1.2.000";
        QTest::newRow("empty") << "" << "0.0.000";
    }

    void shortVersion()
    {
        QFETCH(QString, version);
        QFETCH(QString, expected);
        QCOMPARE(VersionText::shortVersion(version), expected);
    }
};

QTEST_APPLESS_MAIN(tst_VersionText)
#include "tst_versiontext.moc"
