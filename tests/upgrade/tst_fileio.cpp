// fileIo on real files in a temporary world; the calls that depend on the
// program folder run in a probe program copied into a folder of the test's own.
#include "UpgradeTestWorld.h"
#include "fileIo.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Runs the probe from `programDir` and returns what it printed (null on failure).
QString runProbe(const QString &programDir, const QStringList &args)
{
    const QString probe = programDir + QStringLiteral("/upgrade_probe");
    if (!QFile::exists(probe) && !QFile::copy(QStringLiteral(UPGRADE_PROBE), probe))
        return QString();
    QProcess process;
    process.start(probe, args);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

}

class tst_FileIo : public QObject
{
    Q_OBJECT

private slots:
    void settersNotifyOnlyOnChange()
    {
        fileIo io;
        QSignalSpy texts(&io, &fileIo::textChanged);
        QSignalSpy sources(&io, &fileIo::sourceChanged);
        io.setText(QString());
        io.setSource(QUrl());
        QCOMPARE(texts.count(), 0);
        QCOMPARE(sources.count(), 0);

        io.setText(QStringLiteral("abc"));
        io.setText(QStringLiteral("abc"));
        QCOMPARE(texts.count(), 1);
        QCOMPARE(texts.at(0).at(0).toString(), QStringLiteral("abc"));
        QCOMPARE(io.text(), QStringLiteral("abc"));

        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt"));
        io.setSource(url);
        io.setSource(url);
        QCOMPARE(sources.count(), 1);
        QCOMPARE(sources.at(0).at(0).toUrl(), url);
        QCOMPARE(io.property("source").toUrl(), url);
    }

    void writeCreatesFolderAndReplaces()
    {
        UpgradeTestWorld world;
        const QString file = world.path(QStringLiteral("a/b/c/notes.txt"));
        fileIo io;
        io.setSource(QUrl::fromLocalFile(file));
        io.setText(QStringLiteral("first line\r\nsecond\n"));
        io.write();
        QCOMPARE(contents(file), QByteArray("first line\r\nsecond\n"));
        io.setText(QStringLiteral("x"));
        io.write();
        QCOMPARE(contents(file), QByteArray("x"));
    }

    void readEmitsEveryTime()
    {
        UpgradeTestWorld world;
        const QString file = world.path(QStringLiteral("notes.txt"));
        QVERIFY(writeFile(file, "line 1\r\nline 2\n"));
        fileIo io;
        io.setSource(QUrl::fromLocalFile(file));
        QSignalSpy texts(&io, &fileIo::textChanged);
        io.read();
        io.read();
        QCOMPARE(texts.count(), 2);
        QCOMPARE(texts.at(1).at(0).toString(), QStringLiteral("line 1\r\nline 2\n"));
        QCOMPARE(io.text(), QStringLiteral("line 1\r\nline 2\n"));
    }

    void readMissingFileWarnsAndCreatesFolder()
    {
        UpgradeTestWorld world;
        const QString file = world.path(QStringLiteral("new/folder/notes.txt"));
        fileIo io;
        io.setText(QStringLiteral("kept"));
        io.setSource(QUrl::fromLocalFile(file));
        QSignalSpy texts(&io, &fileIo::textChanged);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Does not exits: ") + file));
        io.read();
        QVERIFY(QDir(world.path(QStringLiteral("new/folder"))).exists());
        QCOMPARE(texts.count(), 0);
        QCOMPARE(io.text(), QStringLiteral("kept"));
    }

    void emptyOrRemoteSourceTouchesNothing()
    {
        UpgradeTestWorld world;
        fileIo io;
        io.setText(QStringLiteral("kept"));
        QSignalSpy texts(&io, &fileIo::textChanged);
        io.read();    // empty source: silent
        io.write();
        io.setSource(QUrl(QStringLiteral("http://example.invalid/notes.txt")));
        QTest::ignoreMessage(QtWarningMsg, "Does not exits: ");
        io.read();
        io.write();   // no local path: cannot open, silent
        QCOMPARE(texts.count(), 0);
        QCOMPARE(io.text(), QStringLiteral("kept"));
    }

    void userAppDataFolderIsCreated()
    {
        UpgradeTestWorld world;
        QVERIFY(!QDir(world.appDataDir()).exists());
        QCOMPARE(fileIo().get_userappdata_path(), world.appDataDir());
        QVERIFY(QDir(world.appDataDir()).exists());
    }

    void copyFileReplacesAnEarlierCopy()
    {
        UpgradeTestWorld world;
        const QString source = world.path(QStringLiteral("RT48PX.exe"));
        QVERIFY(writeFile(source, "new program"));
        QVERIFY(QDir().mkpath(world.appDataDir()));
        const QString copy = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QVERIFY(writeFile(copy, "old program, longer than the new one"));
        fileIo io;
        QVERIFY(io.copyFile(source));
        QCOMPARE(contents(copy), QByteArray("new program"));
    }

    void copyFileWithoutSourceLeavesNoCopy()
    {
        UpgradeTestWorld world;
        QVERIFY(QDir().mkpath(world.appDataDir()));
        const QString copy = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QVERIFY(writeFile(copy, "old program"));
        fileIo io;
        QTest::ignoreMessage(QtDebugMsg, "Copy upgrade tool failed");
        QVERIFY(!io.copyFile(world.path(QStringLiteral("missing.exe"))));
        QVERIFY(!QFile::exists(copy));
    }

    void copyKeepsTheRunBit()
    {
        UpgradeTestWorld world;
        fileIo io;
        QVERIFY(io.copyFile(UpgradeTestWorld::standIn()));
        QVERIFY(QFileInfo(world.appDataDir() + QStringLiteral("/upgrade.exe")).isExecutable());
    }

    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");   // null: no data.ini at all
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        const QByteArray two("[Ports]\na=1\nb=2\n[Other]\nc=3\n");
        QTest::newRow("two keys") << two << "Ports" << "t" << "1,2";
        QTest::newRow("title takes no part") << two << "Ports" << "anything else" << "1,2";
        QTest::newRow("one key") << two << "Other" << "t" << "3";
        QTest::newRow("absent group") << two << "None" << "t" << "";
        QTest::newRow("no file") << QByteArray() << "Ports" << "t" << "";
        QTest::newRow("UTF-8 values") << QByteArray("[G]\nname=\xc3\xa9t\xc3\xa9\n") << "G" << "t"
                                      << QString::fromUtf8("\xc3\xa9t\xc3\xa9");
    }

    void loadSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, group);
        QFETCH(QString, title);
        QFETCH(QString, expected);
        UpgradeTestWorld world;
        const QString programDir = world.path(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(programDir));
        if (!ini.isNull())
            QVERIFY(writeFile(programDir + QStringLiteral("/data.ini"), ini));
        QCOMPARE(runProbe(programDir, {QStringLiteral("loadSettings"), group, title}), expected);
        QVERIFY(ini.isNull() || contents(programDir + QStringLiteral("/data.ini")) == ini);   // never written
    }

    void appPathIsTheProgramFolder()
    {
        UpgradeTestWorld world;
        const QString programDir = world.path(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(programDir));
        QCOMPARE(runProbe(programDir, {QStringLiteral("getAppPath")}), programDir);
    }
};

QTEST_GUILESS_MAIN(tst_FileIo)
#include "tst_fileio.moc"
