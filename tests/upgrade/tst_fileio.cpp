// fileIo on real files in a temporary world; loadSettings, which reads beside
// the program, runs in a probe program copied into a folder of the test's own.
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
        const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/x.txt"));
        for (int i = 0; i < 2; ++i) {
            io.setText(QStringLiteral("abc"));
            io.setSource(url);
        }
        QCOMPARE(texts.count(), 1);
        QCOMPARE(texts.at(0).at(0).toString(), QStringLiteral("abc"));
        QCOMPARE(sources.count(), 1);
        QCOMPARE(sources.at(0).at(0).toUrl(), url);
    }

    void writeThenReadInANewFolder()
    {
        UpgradeTestWorld world;
        const QString file = world.path(QStringLiteral("a/b/notes.txt"));
        fileIo io;
        io.setSource(QUrl::fromLocalFile(file));
        io.setText(QStringLiteral("a much longer first text"));
        io.write();
        io.setText(QStringLiteral("line 1\r\nline 2\n"));
        io.write();
        QCOMPARE(contents(file), QByteArray("line 1\r\nline 2\n"));   // replaced whole, line ends as they were

        fileIo reader;
        reader.setSource(QUrl::fromLocalFile(file));
        QSignalSpy texts(&reader, &fileIo::textChanged);
        reader.read();
        reader.read();
        QCOMPARE(texts.count(), 2);   // also when the text did not change
        QCOMPARE(reader.text(), QStringLiteral("line 1\r\nline 2\n"));
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

        io.setSource(QUrl(QStringLiteral("http://example.invalid/notes.txt")));   // no local path
        QTest::ignoreMessage(QtWarningMsg, "Does not exits: ");
        io.read();
        io.write();
        QCOMPARE(texts.count(), 0);
        QCOMPARE(io.text(), QStringLiteral("kept"));
    }

    void copyFileReplacesAnEarlierCopy()
    {
        UpgradeTestWorld world;
        fileIo io;
        QCOMPARE(io.get_userappdata_path(), world.appDataDir());
        const QString copy = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QVERIFY(writeFile(copy, "an earlier copy"));
        QVERIFY(io.copyFile(UpgradeTestWorld::standIn()));
        QCOMPARE(contents(copy), contents(UpgradeTestWorld::standIn()));
        QVERIFY(QFileInfo(copy).isExecutable());

        QTest::ignoreMessage(QtDebugMsg, "Copy upgrade tool failed");
        QVERIFY(!io.copyFile(world.path(QStringLiteral("missing.exe"))));
        QVERIFY(!QFile::exists(copy));
    }

    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");   // null: no data.ini at all
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("expected");
        const QByteArray ini("[Ports]\na=1\nb=2\n[Other]\nc=3\n");
        QTest::newRow("two keys") << ini << "Ports" << "1,2";
        QTest::newRow("one key") << ini << "Other" << "3";
        QTest::newRow("absent group") << ini << "None" << "";
        QTest::newRow("no file") << QByteArray() << "Ports" << "";
        QTest::newRow("UTF-8") << QByteArray("[G]\nname=\xc3\xa9t\xc3\xa9\n") << "G" << QString::fromUtf8("\xc3\xa9t\xc3\xa9");
    }

    void loadSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, group);
        QFETCH(QString, expected);
        UpgradeTestWorld world;
        const QString programDir = world.path(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(programDir));
        QVERIFY(QFile::copy(QStringLiteral(UPGRADE_PROBE), programDir + QStringLiteral("/upgrade_probe")));
        if (!ini.isNull())
            QVERIFY(writeFile(programDir + QStringLiteral("/data.ini"), ini));
        for (const QString &title : {QStringLiteral("t"), QStringLiteral("another title")}) {
            QProcess probe;
            probe.start(programDir + QStringLiteral("/upgrade_probe"), {QStringLiteral("loadSettings"), group, title});
            QVERIFY(probe.waitForFinished(30000));
            QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()), expected);
        }
        QVERIFY(ini.isNull() || contents(programDir + QStringLiteral("/data.ini")) == ini);   // never written
    }
};

QTEST_GUILESS_MAIN(tst_FileIo)
#include "tst_fileio.moc"
