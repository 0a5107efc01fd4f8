// compareVersion, and the micro-code decision with its repair of config.ini,
// against real files in a temporary folder.
#include "../common/TextFiles.h"
#include "ConfigFile.h"
#include "VersionPolicy.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

struct Compare { QString a, b; int result; };
Q_DECLARE_METATYPE(Compare)
// config: the file's lines after the firmware version (null: no file); needUp4k, compareStatus: afterwards
struct Policy { QByteArray config; QString upVer; bool needed; QString needUp4k, compareStatus; };
Q_DECLARE_METATYPE(Policy)

class TestVersionPolicy : public QObject
{
    Q_OBJECT

private slots:
    void compareVersion_data()
    {
        QTest::addColumn<Compare>("row");
        QTest::newRow("equal") << Compare{"1.1.104", "1.1.104", 0};
        QTest::newRow("trailing zero components") << Compare{"1.1.104.0.0", "1.1.104", 0};
        QTest::newRow("shorter is lower") << Compare{"1.1", "1.1.104", -1};
        QTest::newRow("numeric, not text") << Compare{"1.1.10", "1.1.9", 1};
        QTest::newRow("non-numeric counts as 0") << Compare{"1.x.104", "1.0.104", 0};
        QTest::newRow("against empty") << Compare{"0.1.104", "", 1};
    }
    void compareVersion()
    {
        QFETCH(Compare, row);
        QCOMPARE(VersionPolicy::compareVersion(row.a, row.b), row.result);
        QCOMPARE(VersionPolicy::compareVersion(row.b, row.a), -row.result);
    }

    void policy_data()
    {
        QTest::addColumn<Policy>("row");
        const QByteArray none;
        QTest::newRow("no file, equal once V removed") << Policy{none, "V1.1.104", false, "1.1.104", "true"};
        QTest::newRow("lower-case v stays") << Policy{none, "v1.1.104", true, "1.1.104", "true"};
        QTest::newRow("higher") << Policy{none, "V1.1.105", true, "1.1.104", "true"};
        QTest::newRow("false") << Policy{"compareStatus=false\n", "V0.0.1", false, "1.1.104", "false"};
        QTest::newRow("TRUE") << Policy{"compareStatus=TRUE\n", "V0.0.1", true, "1.1.104", "true"};
        QTest::newRow("own needUp4k") << Policy{"needUp4k=1.2\ncompareStatus=true\n", "V1.2.0", false, "1.2", "true"};
        QTest::newRow("empty needUp4k") << Policy{"needUp4k=\n", "V1.1.104", true, "", "true"};
    }
    void policy()
    {
        QFETCH(Policy, row);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("config.ini"));
        QStringList keys{QStringLiteral("compareStatus"), QStringLiteral("needUp4k")};
        if (!row.config.isNull()) {
            QVERIFY(TextFiles::write(path, "deviceFW_Ver=V2.0.07\n" + row.config));
            keys.insert(1, QStringLiteral("deviceFW_Ver"));
        }
        {
            QSettings settings(path, QSettings::IniFormat);
            QCOMPARE(VersionPolicy::needsMicrocodeUpgrade(settings, row.upVer), row.needed);
        }
        QSettings after(path, QSettings::IniFormat);
        QCOMPARE(after.allKeys(), keys);   // nothing deleted, nothing else written
        QCOMPARE(QStringList({after.value("needUp4k").toString(), after.value("compareStatus").toString(),
                              after.value("deviceFW_Ver", "V2.0.07").toString()}),
                 QStringList({row.needUp4k, row.compareStatus, "V2.0.07"}));
    }

    // config.ini as editors save it: UTF-8 with or without a byte-order mark.
    // The versions read whole; an ASCII file is read and written back byte for
    // byte as the plain reader does; one in UTF-16 or in no encoding the reader
    // knows is never written.
    void utf8_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("versions");   // firmware, micro-code
        const QByteArray ini("[General]\ndeviceFW_Ver=V1.2.009\nu_Code_Ver=V1.1.104\n");
        QTest::newRow("UTF-16 with a mark, as Notepad's \"Unicode\"")
            << TextFiles::utf16(ini, true) << QStringList{"V1.2.009", "V1.1.104"};
        QTest::newRow("UTF-16 without a mark") << TextFiles::utf16(ini, false) << QStringList{"", ""};
        QTest::newRow("ASCII, repaired") << QByteArray("deviceFW_Ver=V1.1.107\r\nu_Code_Ver=V1.1.104\r\ncompareStatus=yes\r\n")
                                         << QStringList{"V1.1.107", "V1.1.104"};
        QTest::newRow("ASCII with a group, nothing to repair")
            << QByteArray("[General]\ndeviceFW_Ver=1.1\nu_Code_Ver=2\nneedUp4k=1.1.104\ncompareStatus=false\n")
            << QStringList{"1.1", "2"};
        QTest::newRow("byte-order mark before the first key")
            << QByteArray("\xef\xbb\xbf" "deviceFW_Ver=V1.1.107\nu_Code_Ver=V1.1.104\n") << QStringList{"V1.1.107", "V1.1.104"};
        QTest::newRow("byte-order mark before the group")
            << QByteArray("\xef\xbb\xbf[General]\ndeviceFW_Ver=V1.1.107\n") << QStringList{"V1.1.107", ""};
        QTest::newRow("non-ASCII values") << QByteArray("\xef\xbb\xbf" "deviceFW_Ver=V1.1.107 \xc3\xa9t\xc3\xa9\nu_Code_Ver=\xe2\x80\x93\n")
            << QStringList{QString::fromUtf8("V1.1.107 \xc3\xa9t\xc3\xa9"), QString::fromUtf8("\xe2\x80\x93")};
    }

    void utf8()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, versions);
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("config.ini"));
        const QString plainPath = folder.filePath(QStringLiteral("plain.ini"));
        QVERIFY(TextFiles::write(path, file) && TextFiles::write(plainPath, file));
        {
            ConfigFile config(path);
            QSettings &settings = config.settings();
            QCOMPARE(QStringList({settings.value("deviceFW_Ver").toString(), settings.value("u_Code_Ver").toString()}), versions);
            VersionPolicy::repairSettings(settings);
        }
        if (file.contains('\0'))
            QCOMPARE(TextFiles::contents(path), file);
        if (file.contains('\0') || QString::fromLatin1(file) != QString::fromUtf8(file))
            return;   // only ASCII is written back, byte for byte as the plain reader does
        {
            QSettings plain(plainPath, QSettings::IniFormat);
            VersionPolicy::repairSettings(plain);
        }
        QCOMPARE(TextFiles::contents(path), TextFiles::contents(plainPath));
    }
};

QTEST_GUILESS_MAIN(TestVersionPolicy)
#include "tst_versionpolicy.moc"
