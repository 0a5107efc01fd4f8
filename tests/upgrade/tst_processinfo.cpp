// ProcessInfo seen from the programs it starts: the stand-in upgrade program
// (copied by fileIo) records its arguments, folder and outputs; a fake desktop
// opener records what it was asked to show; real running programs make up the
// task list.
#include "ProcessInfo.h"
#include "fileIo.h"
#include "UpgradeTestWorld.h"

#include <QSignalSpy>
#include <QtTest>

class tst_ProcessInfo : public QObject
{
    Q_OBJECT

private slots:
    void openProcess_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("0: none") << 0 << QStringList();
        QTest::newRow("1: -f") << 1 << QStringList{"-f"};
        QTest::newRow("2: -s") << 2 << QStringList{"-s"};
        QTest::newRow("3, the wizard's: -f") << 3 << QStringList{"-f"};
        QTest::newRow("-1: -f") << -1 << QStringList{"-f"};
        QTest::newRow("7: -f") << 7 << QStringList{"-f"};
        QTest::newRow("no run bit") << 3 << QStringList();   // true all the same, nothing runs
        QTest::newRow("missing") << 3 << QStringList();      // its copy failed and left none
    }

    void openProcess()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, arguments);
        const QLatin1String tag(QTest::currentDataTag());
        const bool missing = tag == QLatin1String("missing");
        UpgradeTestWorld world;
        ProcessInfo process;   // creates the application-data folder
        // As the wizard does it: copied over an earlier copy, then started.
        const QString copy = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QVERIFY(UpgradeTestWorld::writeFile(copy, "an earlier copy"));
        if (missing)
            QTest::ignoreMessage(QtDebugMsg, "Copy upgrade tool failed");
        QCOMPARE(fileIo().copyFile(missing ? world.path(QStringLiteral("gone.exe")) : UpgradeTestWorld::standIn()), !missing);
        if (tag == QLatin1String("no run bit"))
            QVERIFY(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        else if (missing)
            QTest::ignoreMessage(QtWarningMsg, qPrintable("Does not exits: " + copy));
        qputenv("UPVANE_UPGRADER_SCENARIO", "exit");
        QCOMPARE(process.openProcess(QStringLiteral("upgrade.exe"), mode), !missing);
        if (missing || tag == QLatin1String("no run bit")) {
            QVERIFY(!QFile::exists(world.recordPath()));   // the start is synchronous: nothing ran
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(world.recordEnd(), QStringLiteral("exit"), 20000);
        QCOMPARE(world.recorded(QStringLiteral("argument")), arguments);
        QCOMPARE(world.recorded(QStringLiteral("folder")), QStringList{world.appDataDir()});
        QCOMPARE(world.recorded(QStringLiteral("stdout")) + world.recorded(QStringLiteral("stderr")),
                 (QStringList{"/dev/null", "/dev/null"}));
    }

    void getDriverProcess_data()
    {
        QTest::addColumn<QString>("name");   // empty: no extra program runs
        QTest::addColumn<bool>("found");
        QTest::newRow("in a name beyond the kernel's 15-byte short name") << "abcdefghijklFwLoaderx" << true;
        QTest::newRow("other letter case") << "xfwloaderx" << false;
        QTest::newRow("none") << "" << false;
    }

    void getDriverProcess()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        UpgradeTestWorld world;
        QProcess program;
        if (!name.isEmpty()) {
            QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), world.path(name)));
            program.start(world.path(name), {QStringLiteral("600")});
            QVERIFY(program.waitForStarted());
        }
        QTest::ignoreMessage(QtDebugMsg, found ? "find upgrade utility" : "no other upgrade utility");
        QCOMPARE(ProcessInfo().getDriverProcess(), found);
        program.kill();
        program.waitForFinished();
    }

    void startUpgradeNeverSignals()
    {
        UpgradeTestWorld world;
        ProcessInfo process;
        QSignalSpy changes(&process, &ProcessInfo::statusChanged);
        process.start_Upgrade();
        QCOMPARE(process.property("result").toMap(), (QVariantMap{{QStringLiteral("statsu"), 1}}));
        QCOMPARE(process.result().value(QStringLiteral("statsu")).userType(), int(QMetaType::Int));
        QCoreApplication::processEvents();
        QCOMPARE(changes.count(), 0);
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
        UpgradeTestWorld world;
        const QString reportDir = world.path(QStringLiteral("program/Report"));
        const QString report = reportDir + QStringLiteral("/upgrade report.txt");
        QVERIFY(QDir().mkpath(reportDir));
        QVERIFY(!present || UpgradeTestWorld::writeFile(report, ""));
        // A desktop opener of our own writes beside itself what it was given and where it ran.
        const QString opener = world.path(QStringLiteral("bin/xdg-open"));
        QVERIFY(UpgradeTestWorld::writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" \"$PWD\" > \"$0.part\"\n"
                                                    "mv \"$0.part\" \"$0.txt\"\n"));
        QVERIFY(QFile::setPermissions(opener, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QCOMPARE(world.probe({QStringLiteral("openReport"), QStringLiteral("upgrade report.txt")}),
                 present ? QByteArray("true") : ("Does not exits: " + report + "\nfalse").toUtf8());
        if (!present) {
            QVERIFY(!QFile::exists(opener + ".txt"));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opener + ".txt"), 20000);
        QCOMPARE(UpgradeTestWorld::contents(opener + ".txt"), QStringLiteral("1\n%1\n%2\n").arg(report, reportDir).toUtf8());
    }
};

QTEST_GUILESS_MAIN(tst_ProcessInfo)
#include "tst_processinfo.moc"
