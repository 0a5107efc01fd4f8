// ProcessInfo seen from the programs it starts: the stand-in upgrade program
// records its arguments, folder and outputs; a fake desktop opener records what
// it was asked to show; real running programs make up the task list.
#include "ProcessInfo.h"
#include "StandInRecord.h"
#include "UpgradeTestWorld.h"

#include <QSignalSpy>
#include <QtTest>

class tst_ProcessInfo : public QObject
{
    Q_OBJECT

private slots:
    void openProcess_data()
    {
        QTest::addColumn<QString>("file");   // what lies in the application-data folder
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("0: none") << "upgrade.exe" << 0 << QStringList();
        QTest::newRow("1: -f") << "upgrade.exe" << 1 << QStringList{"-f"};
        QTest::newRow("2: -s") << "upgrade.exe" << 2 << QStringList{"-s"};
        QTest::newRow("3, the wizard's: -f") << "upgrade.exe" << 3 << QStringList{"-f"};
        QTest::newRow("-1: -f") << "upgrade.exe" << -1 << QStringList{"-f"};
        QTest::newRow("7: -f") << "upgrade.exe" << 7 << QStringList{"-f"};
        QTest::newRow("no run bit") << "upgrade.exe" << 3 << QStringList();
        QTest::newRow("missing") << "other.exe" << 3 << QStringList();
    }

    void openProcess()
    {
        QFETCH(QString, file);
        QFETCH(int, mode);
        QFETCH(QStringList, arguments);
        UpgradeTestWorld world;
        ProcessInfo process;   // creates the application-data folder
        const QString copy = world.appDataDir() + QLatin1Char('/') + file;
        QVERIFY(QFile::copy(UpgradeTestWorld::standIn(), copy));
        const bool runs = QTest::currentDataTag() != QLatin1String("no run bit");
        if (!runs)
            QVERIFY(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        const QString recordPath = world.path(QStringLiteral("record.txt"));
        qputenv("UPVANE_UPGRADER_RECORD", QFile::encodeName(recordPath));
        qputenv("UPVANE_UPGRADER_SCENARIO", "exit");

        if (file != QLatin1String("upgrade.exe")) {
            const QString missing = world.appDataDir() + QStringLiteral("/upgrade.exe");
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Does not exits: ") + missing));
            QVERIFY(!process.openProcess(QStringLiteral("upgrade.exe"), mode));
            QVERIFY(!QFile::exists(recordPath));   // the start is synchronous: nothing was asked to run
            return;
        }
        QVERIFY(process.openProcess(QStringLiteral("upgrade.exe"), mode));
        if (!runs)
            return;
        QTRY_VERIFY_WITH_TIMEOUT(StandInRecord(recordPath).ended(), 20000);
        const StandInRecord record(recordPath);
        QCOMPARE(record.values(QStringLiteral("argument")), arguments);
        QCOMPARE(record.value(QStringLiteral("arguments")), QString::number(arguments.size()));
        QCOMPARE(record.value(QStringLiteral("folder")), world.appDataDir());
        QCOMPARE(record.value(QStringLiteral("stdout")), QStringLiteral("/dev/null"));
        QCOMPARE(record.value(QStringLiteral("stderr")), QStringLiteral("/dev/null"));
    }

    void getDriverProcess_data()
    {
        QTest::addColumn<QString>("name");   // empty: no extra program runs
        QTest::addColumn<bool>("found");
        QTest::newRow("exact name") << "FwLoader" << true;
        QTest::newRow("part of a longer name") << "xFwLoaderx" << true;
        QTest::newRow("beyond the kernel's 15-byte short name") << "abcdefghijklFwLoader" << true;
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
        // The program folder of a probe program, with its Report folder.
        const QString programDir = world.path(QStringLiteral("program"));
        const QString reportDir = programDir + QStringLiteral("/Report");
        const QString report = reportDir + QStringLiteral("/upgrade report.txt");
        QVERIFY(QDir().mkpath(reportDir));
        QVERIFY(QFile::copy(QStringLiteral(UPGRADE_PROBE), programDir + QStringLiteral("/upgrade_probe")));
        QFile reportFile(report);
        QVERIFY(!present || reportFile.open(QIODevice::WriteOnly));

        // A desktop opener of our own, first in the search path.
        const QString bin = world.path(QStringLiteral("bin"));
        const QString opened = world.path(QStringLiteral("opened.txt"));
        QVERIFY(QDir().mkpath(bin));
        QFile opener(bin + QStringLiteral("/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\n{ echo \"$#\"; printf '%s\\n' \"$@\"; pwd; } > \"$OPENED.part\"\nmv \"$OPENED.part\" \"$OPENED\"\n");
        opener.close();
        QVERIFY(opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));

        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("OPENED"), opened);
        probe.setProcessEnvironment(env);
        probe.start(programDir + QStringLiteral("/upgrade_probe"), {QStringLiteral("openReport"), QStringLiteral("upgrade report.txt")});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.readAllStandardOutput(), present ? QByteArray("true") : QByteArray("false"));
        if (!present) {
            const QString log = QString::fromLocal8Bit(probe.readAllStandardError());
            QVERIFY2(log.contains(QStringLiteral("Does not exits: ") + report), qPrintable(log));
            QVERIFY(!QFile::exists(opened));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opened), 20000);
        QFile file(opened);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("1\n%1\n%2\n").arg(report, reportDir));
    }
};

QTEST_GUILESS_MAIN(tst_ProcessInfo)
#include "tst_processinfo.moc"
