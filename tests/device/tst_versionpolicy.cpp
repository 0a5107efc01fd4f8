// compareVersion, and the micro-code decision with its repair of config.ini,
// against real files in a temporary folder.
#include "VersionPolicy.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestVersionPolicy : public QObject
{
    Q_OBJECT

private slots:
    void compareVersion_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("result");
        QTest::newRow("equal") << "1.1.104" << "1.1.104" << 0;
        QTest::newRow("trailing zero components") << "1.1.104.0.0" << "1.1.104" << 0;
        QTest::newRow("shorter is lower") << "1.1" << "1.1.104" << -1;
        QTest::newRow("numeric, not text") << "1.1.10" << "1.1.9" << 1;
        QTest::newRow("first component decides") << "2.0.0" << "1.9.999" << 1;
        QTest::newRow("non-numeric counts as 0") << "1.x.104" << "1.0.104" << 0;
        QTest::newRow("leading zeros") << "01.001.0104" << "1.1.104" << 0;
        QTest::newRow("against empty") << "0.1.104" << "" << 1;
    }
    void compareVersion()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, result);
        QCOMPARE(VersionPolicy::compareVersion(a, b), result);
        QCOMPARE(VersionPolicy::compareVersion(b, a), -result);
    }

    void policy_data()
    {
        QTest::addColumn<QByteArray>("config");   // null: no file
        QTest::addColumn<QString>("upVer");
        QTest::addColumn<bool>("needed");
        QTest::addColumn<QString>("needUp4k");   // afterwards
        QTest::addColumn<QString>("compareStatus");

        const QByteArray none;
        QTest::newRow("no file, equal once V removed") << none << "V1.1.104" << false << "1.1.104" << "true";
        QTest::newRow("every V removed") << none << "V1.1V.104V" << false << "1.1.104" << "true";
        QTest::newRow("lower-case v stays") << none << "v1.1.104" << true << "1.1.104" << "true";
        QTest::newRow("higher") << none << "V1.1.105" << true << "1.1.104" << "true";
        QTest::newRow("lower") << none << "V1.0.104" << true << "1.1.104" << "true";
        QTest::newRow("false") << QByteArray("compareStatus=false\n") << "V0.0.1" << false << "1.1.104" << "false";
        QTest::newRow("TRUE") << QByteArray("compareStatus=TRUE\n") << "V0.0.1" << true << "1.1.104" << "true";
        QTest::newRow("own needUp4k") << QByteArray("needUp4k=1.2\ncompareStatus=true\n") << "V1.2.0" << false
                                      << "1.2" << "true";
        QTest::newRow("empty needUp4k") << QByteArray("needUp4k=\n") << "V1.1.104" << true << "" << "true";
    }
    void policy()
    {
        QFETCH(QByteArray, config);
        QFETCH(QString, upVer);
        QFETCH(bool, needed);
        QFETCH(QString, needUp4k);
        QFETCH(QString, compareStatus);

        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("config.ini"));
        QStringList keys{QStringLiteral("compareStatus"), QStringLiteral("needUp4k")};
        if (!config.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("deviceFW_Ver=V2.0.07\n" + config);
            keys.insert(1, QStringLiteral("deviceFW_Ver"));
        }
        {
            QSettings settings(path, QSettings::IniFormat);
            QCOMPARE(VersionPolicy::needsMicrocodeUpgrade(settings, upVer), needed);
        }
        QSettings after(path, QSettings::IniFormat);
        QCOMPARE(after.allKeys(), keys);   // nothing deleted, nothing else written
        QCOMPARE(after.value(QStringLiteral("needUp4k")).toString(), needUp4k);
        QCOMPARE(after.value(QStringLiteral("compareStatus")).toString(), compareStatus);
        QCOMPARE(after.value(QStringLiteral("deviceFW_Ver"), "V2.0.07").toString(), QStringLiteral("V2.0.07"));
    }
};

QTEST_GUILESS_MAIN(TestVersionPolicy)
#include "tst_versionpolicy.moc"
