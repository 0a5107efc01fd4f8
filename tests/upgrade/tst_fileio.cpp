// fileIo on real files in a temporary world (copyFile is tested with the
// launcher, in tst_processinfo); loadSettings reads the world's program folder.
#include "TestWorld.h"
#include "TextFiles.h"
#include "fileIo.h"

#include <QSignalSpy>
#include <QtTest>

class tst_FileIo : public QObject
{
    Q_OBJECT

private slots:
    void readAndWriteInANewFolder()
    {
        TestWorld world;
        const QString file = world.path(QStringLiteral("new/folder/notes.txt"));
        fileIo io;
        QSignalSpy texts(&io, &fileIo::textChanged);
        QSignalSpy sources(&io, &fileIo::sourceChanged);
        for (int i = 0; i < 2; ++i) {
            io.setSource(QUrl::fromLocalFile(file));
            io.setText(QStringLiteral("a much longer first text"));
        }
        QCOMPARE(sources.count(), 1);   // only on a change
        QCOMPARE(sources.at(0).at(0).toUrl(), QUrl::fromLocalFile(file));
        QCOMPARE(texts.count(), 1);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Does not exits: ") + file));
        io.read();
        QVERIFY(QDir(world.path(QStringLiteral("new/folder"))).exists());
        QCOMPARE(texts.count(), 1);
        QCOMPARE(io.text(), QStringLiteral("a much longer first text"));

        io.write();
        io.setText(QStringLiteral("line 1\r\nline 2\n"));
        io.write();
        QCOMPARE(TextFiles::contents(file), QByteArray("line 1\r\nline 2\n"));   // replaced whole
        io.read();
        io.read();
        QCOMPARE(texts.count(), 4);   // also when the text did not change
        QCOMPARE(texts.at(3).at(0).toString(), QStringLiteral("line 1\r\nline 2\n"));
    }

    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");   // null: no data.ini at all
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("expected");
        const QByteArray ini("[Ports]\na=1\nb=2\n[Other]\nc=3\n");
        QTest::newRow("two keys") << ini << "Ports" << "1,2";
        QTest::newRow("absent group") << ini << "None" << "";
        QTest::newRow("no file") << QByteArray() << "Ports" << "";
        QTest::newRow("UTF-8") << QByteArray("[G]\nname=\xc3\xa9t\xc3\xa9\n") << "G" << QString::fromUtf8("\xc3\xa9t\xc3\xa9");
    }

    void loadSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, group);
        QFETCH(QString, expected);
        TestWorld world;
        const QString dataIni = world.programDir() + QStringLiteral("/data.ini");
        QVERIFY(ini.isNull() || TextFiles::write(dataIni, ini));
        QCOMPARE(fileIo().loadSettings(group, QStringLiteral("a title")), expected);
        QVERIFY(ini.isNull() || TextFiles::contents(dataIni) == ini);   // never written
    }
};

QTEST_GUILESS_MAIN(tst_FileIo)
#include "tst_fileio.moc"
