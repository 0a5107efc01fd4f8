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
        QFETCH(QString, fault);
        QFETCH(QString, error);
        TestWorld world;
        ProcessInfo process;   // creates the application-data folder
        fileIo io;
        io.setUpgradeProgram(process.upgradeProgram());
        const QString copy = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QVERIFY(TextFiles::write(copy, QByteArray("an earlier copy")));
        if (fault == QLatin1String("missing")) {
            QTest::ignoreMessage(QtDebugMsg, "Copy upgrade tool failed");
            QVERIFY(!io.copyFile(world.path(QStringLiteral("gone.exe"))));
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Does not exits: " + copy));
        } else {
            QVERIFY(io.copyFile(TestWorld::standIn()));
        }
        if (fault == QLatin1String("renamed over")) {
            const QString other = world.path(QStringLiteral("other.exe"));
            QVERIFY(QFile::copy(QStringLiteral("/bin/true"), other));
            QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(copy).constData()), 0);
        } else if (fault == QLatin1String("no run bit")) {
            QVERIFY(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Upgrade program could not be started: %1 -f: ")
                                                                      .arg(QRegularExpression::escape(copy))));
        } else if (fault == QLatin1String("changed")) {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::ReadWrite) && file.write("#!") == 2);   // in place: the held file itself
            file.close();
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Upgrade program not started: %1 is not %2 (its bytes differ)")
                                                              .arg(copy, TestWorld::standIn())));
        }
        qputenv("UPVANE_UPGRADER_SCENARIO", "exit");
        const bool started = error == QLatin1String("-");
        QCOMPARE(process.openProcess(QStringLiteral("upgrade.exe"), 3), started);
        QCOMPARE(process.upgradeProgram()->isAwaited(), started);
        QCOMPARE(process.upgradeProgram()->error(), started ? QString() : error);
        if (!started) {
            QVERIFY(!QFile::exists(world.recordPath()));
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(world.recordEnd(), QStringLiteral("exit"), 20000);
        QCOMPARE(world.recorded(QStringLiteral("argument")), QStringList{"-f"});
        QCOMPARE(world.recorded(QStringLiteral("folder")), QStringList{world.appDataDir()});
        QCOMPARE(world.recorded(QStringLiteral("stdout")) + world.recorded(QStringLiteral("stderr")),
                 (QStringList{"/dev/null", "/dev/null"}));
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
        QFETCH(QString, name);
        QFETCH(bool, found);
        TestWorld world;
        QProcess program;
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), world.path(name)));
        program.start(world.path(name), {QStringLiteral("600")});
        QVERIFY(program.waitForStarted());
        QTest::ignoreMessage(QtDebugMsg, found ? "find upgrade utility" : "no other upgrade utility");
        QCOMPARE(ProcessInfo().getDriverProcess(), found);
        program.kill();
        program.waitForFinished();
    }

    void openReport_data()
    {
        QTest::addColumn<bool>("present");
        QTest::newRow("report present") << true;
        QTest::newRow("report missing") << false;
    }

    void openReport()
    {
        QFETCH(bool, present);
        TestWorld world;
        const QString reportDir = world.programDir() + QStringLiteral("/Report");
        const QString report = reportDir + QStringLiteral("/upgrade report.txt");
        QVERIFY(QDir().mkpath(reportDir));
        QVERIFY(!present || TextFiles::write(report, QByteArray()));
        // A desktop opener of our own, first in the search path, writes beside
        // itself what it was given and where it ran.
        const QString opener = world.path(QStringLiteral("bin/xdg-open"));
        QVERIFY(QDir().mkpath(world.path(QStringLiteral("bin"))));
        QVERIFY(TextFiles::write(opener, QByteArray("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" \"$PWD\" > \"$0.part\"\n"
                                                   "mv \"$0.part\" \"$0.txt\"\n")));
        QVERIFY(QFile::setPermissions(opener, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(world.path(QStringLiteral("bin:"))) + path);
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", path); });
        if (!present)
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Does not exits: " + report));
        QCOMPARE(ProcessInfo().openReport(QStringLiteral("upgrade report.txt")), present);
        if (!present) {
            QVERIFY(!QFile::exists(opener + ".txt"));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener + ".txt"), 20000);
        QCOMPARE(TextFiles::contents(opener + ".txt"), QStringLiteral("1\n%1\n%2\n").arg(report, reportDir).toUtf8());
    }

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

QTEST_GUILESS_MAIN(tst_ProcessInfo)
#include "tst_processinfo.moc"
