// compareVersion and the config.ini repair, against real files in a temporary
// program folder.
#include "VersionPolicy.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestVersionPolicy : public QObject
{
    Q_OBJECT

private slots:
    void compareVersion_data();
    void compareVersion();
    void repair_data();
    void repair();
    void needsMicrocode_data();
    void needsMicrocode();
};

void TestVersionPolicy::compareVersion_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");

    QTest::newRow("equal") << "1.1.104" << "1.1.104" << 0;
    QTest::newRow("trailing zero component") << "1.1.104" << "1.1.104.0" << 0;
    QTest::newRow("trailing zero on the left") << "1.1.104.0.0" << "1.1.104" << 0;
    QTest::newRow("shorter is lower") << "1.1" << "1.1.104" << -1;
    QTest::newRow("longer is higher") << "1.1.104.1" << "1.1.104" << 1;
    QTest::newRow("numeric, not text") << "1.1.10" << "1.1.9" << 1;
    QTest::newRow("first component decides") << "2.0.0" << "1.9.999" << 1;
    QTest::newRow("lower last") << "1.1.103" << "1.1.104" << -1;
    QTest::newRow("non-numeric counts as 0") << "1.x.104" << "1.0.104" << 0;
    QTest::newRow("non-numeric lower") << "1.x.104" << "1.1.104" << -1;
    QTest::newRow("empty is lower") << "" << "1.1.104" << -1;
    QTest::newRow("empty against empty") << "" << "" << 0;
    QTest::newRow("empty needUp4k") << "1.1.104" << "" << 1;
    QTest::newRow("empty needUp4k, zero major") << "0.1.104" << "" << 1;
    QTest::newRow("all zero against empty") << "0.0" << "" << 0;
    QTest::newRow("empty components") << "1..104" << "1.0.104" << 0;
    QTest::newRow("leading zeros") << "01.001.0104" << "1.1.104" << 0;
    QTest::newRow("lower-case v kept") << "v1.1.104" << "1.1.104" << -1;
}

void TestVersionPolicy::compareVersion()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    QCOMPARE(VersionPolicy::compareVersion(a, b), result);
    QCOMPARE(VersionPolicy::compareVersion(b, a), -result);
}

void TestVersionPolicy::repair_data()
{
    QTest::addColumn<QByteArray>("before");   // null: no file
    QTest::addColumn<QString>("needUp4k");
    QTest::addColumn<QString>("compareStatus");
    QTest::addColumn<bool>("checkOn");

    QTest::newRow("no file") << QByteArray() << "1.1.104" << "true" << true;
    QTest::newRow("empty file") << QByteArray("") << "1.1.104" << "true" << true;
    QTest::newRow("false stays") << QByteArray("compareStatus=false\n") << "1.1.104" << "false" << false;
    QTest::newRow("true stays") << QByteArray("compareStatus=true\nneedUp4k=1.2.3\n") << "1.2.3" << "true" << true;
    QTest::newRow("TRUE repaired") << QByteArray("compareStatus=TRUE\n") << "1.1.104" << "true" << true;
    QTest::newRow("True repaired") << QByteArray("compareStatus=True\n") << "1.1.104" << "true" << true;
    QTest::newRow("yes repaired") << QByteArray("compareStatus=yes\n") << "1.1.104" << "true" << true;
    QTest::newRow("0 repaired") << QByteArray("compareStatus=0\n") << "1.1.104" << "true" << true;
    QTest::newRow("empty repaired") << QByteArray("compareStatus=\n") << "1.1.104" << "true" << true;
    QTest::newRow("empty needUp4k stays") << QByteArray("needUp4k=\ncompareStatus=true\n") << "" << "true" << true;
}

void TestVersionPolicy::repair()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, needUp4k);
    QFETCH(QString, compareStatus);
    QFETCH(bool, checkOn);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    if (!before.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("deviceFW_Ver=V2.0.07\nu_Code_Ver=V1.1.104\n" + before);
    }
    {
        QSettings settings(path, QSettings::IniFormat);
        QCOMPARE(VersionPolicy::repairSettings(settings), checkOn);
    }
    QSettings after(path, QSettings::IniFormat);
    QCOMPARE(after.value(QStringLiteral("needUp4k")).toString(), needUp4k);
    QCOMPARE(after.value(QStringLiteral("compareStatus")).toString(), compareStatus);
    QStringList keys{QStringLiteral("compareStatus"), QStringLiteral("needUp4k")};
    if (!before.isNull())
        keys << QStringLiteral("deviceFW_Ver") << QStringLiteral("u_Code_Ver");
    keys.sort();
    QStringList actual = after.allKeys();
    actual.sort();
    QCOMPARE(actual, keys);   // nothing deleted, nothing else written
    if (!before.isNull())
        QCOMPARE(after.value(QStringLiteral("deviceFW_Ver")).toString(), QStringLiteral("V2.0.07"));
}

void TestVersionPolicy::needsMicrocode_data()
{
    QTest::addColumn<QByteArray>("config");
    QTest::addColumn<QString>("upVer");
    QTest::addColumn<bool>("needed");

    QTest::newRow("equal once V removed") << QByteArray() << "V1.1.104" << false;
    QTest::newRow("every V removed") << QByteArray() << "V1.1V.104V" << false;
    QTest::newRow("higher last component") << QByteArray() << "V1.1.105" << true;
    QTest::newRow("lower component") << QByteArray() << "V1.0.104" << true;
    QTest::newRow("empty version") << QByteArray() << "" << true;
    QTest::newRow("check off") << QByteArray("compareStatus=false\n") << "V0.0.001" << false;
    QTest::newRow("TRUE turns the check on") << QByteArray("compareStatus=TRUE\n") << "V0.0.001" << true;
    QTest::newRow("own needUp4k") << QByteArray("needUp4k=1.2\n") << "V1.2.0" << false;
    QTest::newRow("empty needUp4k") << QByteArray("needUp4k=\n") << "V1.1.104" << true;
    QTest::newRow("empty needUp4k, zero version") << QByteArray("needUp4k=\n") << "V0.0.0" << false;
}

void TestVersionPolicy::needsMicrocode()
{
    QFETCH(QByteArray, config);
    QFETCH(QString, upVer);
    QFETCH(bool, needed);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("config.ini"));
    if (!config.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(config);
    }
    QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(VersionPolicy::needsMicrocodeUpgrade(settings, upVer), needed);
}

QTEST_GUILESS_MAIN(TestVersionPolicy)
#include "tst_versionpolicy.moc"
