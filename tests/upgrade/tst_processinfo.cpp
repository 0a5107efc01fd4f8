// ProcessInfo seen from the programs it starts: the stand-in upgrade program
// (copied by fileIo) records its arguments, folder and outputs; a fake desktop
// opener records what it was asked to show; real running programs make up the
// task list. And fileIo on real files: the text files QML reads and writes,
// data.ini in the world's program folder.
#include "ProcessInfo.h"
#include "UpgradeProgram.h"
#include "fileIo.h"
#include "TestWorld.h"
#include "TextFiles.h"

#include <stdio.h>

#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

class tst_ProcessInfo : public QObject
{
    Q_OBJECT

private slots:
    // As the wizard does it: the stand-in copied over an earlier copy, then
    // started; a file given the copy's name meanwhile is not what starts. A start
    // that fails is false, says why in one sentence and leaves nothing awaited;
    // the start is synchronous, so nothing ran.
    void openProcess_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");   // "-": started
        QTest::newRow("the wizard's start") << "" << "-";
        QTest::newRow("another file renamed over the copy") << "renamed over" << "-";
        QTest::newRow("no run bit") << "no run bit" << "Permission denied.";
        QTest::newRow("missing") << "missing" << "";
        QTest::newRow("changed between the copy and the start") << "changed" << "upgrade.exe is not the shipped program.";
    }

    void openProcess()
    {
        QFETCH(QString, fault); QFETCH(QString, error);
        TestWorld world;
        ProcessInfo process;   // creates the application-data folder
        fileIo io;
        io.setUpgradeProgram(process.upgradeProgram());
        const QString copy = world.appDataDir() + "/upgrade.exe";
        QVERIFY(TextFiles::write(copy, QByteArray("an earlier copy")));
        if (fault == "missing")
            QTest::ignoreMessage(QtDebugMsg, "Copy upgrade tool failed");
        QCOMPARE(io.copyFile(fault == "missing" ? world.path("gone.exe") : TestWorld::standIn()), fault != "missing");
        if (fault == "missing") {
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Does not exits: " + copy));
        } else if (fault == "renamed over") {
            QVERIFY(QFile::copy("/bin/true", world.path("other.exe")));
            QCOMPARE(::rename(QFile::encodeName(world.path("other.exe")), QFile::encodeName(copy)), 0);
        } else if (fault == "no run bit") {
            QVERIFY(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            const QString pattern = "^Upgrade program could not be started: " + QRegularExpression::escape(copy) + " -f: ";
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(pattern));
        } else if (fault == "changed") {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.write("#!") == 2);   // in place: the held file itself
            file.close();
            const QString message = "Upgrade program not started: " + copy + " is not " + TestWorld::standIn() + " (its bytes differ)";
            QTest::ignoreMessage(QtWarningMsg, qPrintable(message));
        }
        qputenv("UPVANE_UPGRADER_SCENARIO", "exit");
        const bool started = error == "-";
        QCOMPARE(process.openProcess("upgrade.exe", 3), started);
        QCOMPARE(process.upgradeProgram()->isAwaited(), started);
        QCOMPARE(process.upgradeProgram()->error(), started ? QString() : error);
        if (!started) {
            QVERIFY(!QFile::exists(world.recordPath()));
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(world.recordEnd(), QStringLiteral("exit"), 20000);
        QCOMPARE(world.recorded("argument") + world.recorded("folder"), (QStringList{"-f", world.appDataDir()}));
        QCOMPARE(world.recorded("stdout") + world.recorded("stderr"), (QStringList{"/dev/null", "/dev/null"}));
    }

    void getDriverProcess_data()
    {
        QTest::addColumn<QString>("name");   // of a program that runs meanwhile
        QTest::addColumn<bool>("found");
        QTest::newRow("in a name beyond the kernel's 15-byte short name") << "abcdefghijklFwLoaderx" << true;
        QTest::newRow("other letter case") << "xfwloaderx" << false;
    }

    void getDriverProcess()
    {
        QFETCH(QString, name); QFETCH(bool, found);
        TestWorld world;
        QProcess program;
        QVERIFY(QFile::copy("/bin/sleep", world.path(name)));
        program.start(world.path(name), {"600"});
        QVERIFY(program.waitForStarted());
        QTest::ignoreMessage(QtDebugMsg, found ? "find upgrade utility" : "no other upgrade utility");
        QCOMPARE(ProcessInfo().getDriverProcess(), found);
        program.kill();
        program.waitForFinished();
    }

    // The report present, then gone: shown with its folder as the working folder, or not at all.
    void openReport()
    {
        TestWorld world;
        const QString reportDir = world.programDir() + "/Report", report = reportDir + "/upgrade report.txt";
        QVERIFY(QDir().mkpath(reportDir) && TextFiles::write(report, QByteArray()));
        // A desktop opener of our own, first in the search path, writes beside
        // itself what it was given and where it ran.
        const QString opener = world.path("bin/xdg-open");
        QVERIFY(QDir().mkpath(world.path("bin")));
        QVERIFY(TextFiles::write(opener, QByteArray("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" \"$PWD\" > \"$0.part\"\n"
                                                   "mv \"$0.part\" \"$0.txt\"\n")));
        QVERIFY(QFile::setPermissions(opener, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(world.path("bin:")) + path);
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
        QVERIFY(ProcessInfo().openReport("upgrade report.txt"));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener + ".txt"), 20000);
        QCOMPARE(TextFiles::contents(opener + ".txt"), QStringLiteral("1\n%1\n%2\n").arg(report, reportDir).toUtf8());
        QVERIFY(QFile::remove(report) && QFile::remove(opener + ".txt"));
        QTest::ignoreMessage(QtWarningMsg, qPrintable("Does not exits: " + report));
        QVERIFY(!ProcessInfo().openReport("upgrade report.txt"));
        QVERIFY(!QFile::exists(opener + ".txt"));
    }

    void readAndWriteInANewFolder()
    {
        TestWorld world;
        const QString file = world.path("new/folder/notes.txt");
        fileIo io;
        QSignalSpy texts(&io, &fileIo::textChanged);
        QSignalSpy sources(&io, &fileIo::sourceChanged);
        for (int i = 0; i < 2; ++i) {
            io.setSource(QUrl::fromLocalFile(file));
            io.setText("a much longer first text");
        }
        QCOMPARE(sources.count(), 1);   // only on a change
        QCOMPARE(sources.at(0).at(0).toUrl(), QUrl::fromLocalFile(file));
        QCOMPARE(texts.count(), 1);
        QTest::ignoreMessage(QtWarningMsg, qPrintable("Does not exits: " + file));
        io.read();
        QVERIFY(QDir(world.path("new/folder")).exists());
        QCOMPARE(texts.count(), 1);
        QCOMPARE(io.text(), "a much longer first text");

        io.write();
        io.setText("line 1\r\nline 2\n");
        io.write();
        QCOMPARE(TextFiles::contents(file), QByteArray("line 1\r\nline 2\n"));   // replaced whole
        io.read();
        io.read();
        QCOMPARE(texts.count(), 4);   // also when the text did not change
        QCOMPARE(texts.at(3).at(0).toString(), "line 1\r\nline 2\n");
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
        QFETCH(QByteArray, ini); QFETCH(QString, group); QFETCH(QString, expected);
        TestWorld world;
        const QString dataIni = world.programDir() + "/data.ini";
        QVERIFY(ini.isNull() || TextFiles::write(dataIni, ini));
        QCOMPARE(fileIo().loadSettings(group, "a title"), expected);
        QVERIFY(ini.isNull() || TextFiles::contents(dataIni) == ini);   // never written
    }
};

QTEST_GUILESS_MAIN(tst_ProcessInfo)
#include "tst_processinfo.moc"
