// ProcessInfo seen from the programs it starts: the stand-in upgrade program
// records its arguments, folder and outputs; a fake desktop opener records what
// it was asked to show; real running programs make up the task list.
#include "ProcessInfo.h"
#include "StandInRecord.h"
#include "UpgradeTestWorld.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Puts the stand-in where the wizard's copy goes, as "upgrade.exe" or `name`.
bool placeStandIn(const UpgradeTestWorld &world, const QString &name = QStringLiteral("upgrade.exe"))
{
    QDir().mkpath(world.appDataDir());
    return QFile::copy(UpgradeTestWorld::standIn(), world.appDataDir() + QLatin1Char('/') + name);
}

// Makes the stand-in record into `record` and end at once.
void scriptStandIn(const QString &record)
{
    qputenv("UPVANE_UPGRADER_RECORD", QFile::encodeName(record));
    qputenv("UPVANE_UPGRADER_SCENARIO", "exit");
}

}

class tst_ProcessInfo : public QObject
{
    Q_OBJECT

private slots:
    void constructionCreatesAppDataFolder()
    {
        UpgradeTestWorld world;
        QVERIFY(!QDir(world.appDataDir()).exists());
        ProcessInfo process;
        QVERIFY(QDir(world.appDataDir()).exists());
        QCOMPARE(process.get_userappdata_path(), world.appDataDir());
    }

    void openProcessModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("0: none") << 0 << QStringList();
        QTest::newRow("1: -f") << 1 << QStringList{"-f"};
        QTest::newRow("2: -s") << 2 << QStringList{"-s"};
        QTest::newRow("3, the wizard's: -f") << 3 << QStringList{"-f"};
        QTest::newRow("-1: -f") << -1 << QStringList{"-f"};
        QTest::newRow("7: -f") << 7 << QStringList{"-f"};
    }

    void openProcessModes()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, arguments);
        UpgradeTestWorld world;
        QVERIFY(placeStandIn(world));
        const QString recordPath = world.path(QStringLiteral("record.txt"));
        scriptStandIn(recordPath);

        ProcessInfo process;
        QVERIFY(process.openProcess(QStringLiteral("upgrade.exe"), mode));
        QTRY_VERIFY_WITH_TIMEOUT(StandInRecord(recordPath).ended(), 20000);
        const StandInRecord record(recordPath);
        QCOMPARE(record.values(QStringLiteral("argument")), arguments);
        QCOMPARE(record.value(QStringLiteral("arguments")), QString::number(arguments.size()));
        QCOMPARE(record.value(QStringLiteral("folder")), world.appDataDir());
        QCOMPARE(record.value(QStringLiteral("stdout")), QStringLiteral("/dev/null"));
        QCOMPARE(record.value(QStringLiteral("stderr")), QStringLiteral("/dev/null"));
    }

    void openProcessMissingNameStartsNothing()
    {
        UpgradeTestWorld world;
        QVERIFY(placeStandIn(world, QStringLiteral("other.exe")));
        const QString recordPath = world.path(QStringLiteral("record.txt"));
        scriptStandIn(recordPath);
        ProcessInfo process;
        const QString missing = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Does not exits: ") + missing));
        QVERIFY(!process.openProcess(QStringLiteral("upgrade.exe"), 3));
        QVERIFY(!QFile::exists(recordPath));
    }

    void openProcessWithoutRunBitStillSaysTrue()
    {
        UpgradeTestWorld world;
        QVERIFY(placeStandIn(world));
        const QString copy = world.appDataDir() + QStringLiteral("/upgrade.exe");
        QVERIFY(QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        scriptStandIn(world.path(QStringLiteral("record.txt")));
        ProcessInfo process;
        QVERIFY(process.openProcess(QStringLiteral("upgrade.exe"), 3));
    }

    void getDriverProcess_data()
    {
        QTest::addColumn<QString>("name");   // empty: no extra program runs
        QTest::addColumn<bool>("found");
        QTest::newRow("exact name") << "FwLoader" << true;
        QTest::newRow("part of a longer name") << "xFwLoaderx" << true;
        QTest::newRow("beyond the kernel's 15-byte short name") << "abcdefghijklFwLoader" << true;
        QTest::newRow("other letter case") << "xfwloaderx" << false;
        QTest::newRow("upper case") << "FWLOADER" << false;
        QTest::newRow("none") << "" << false;
    }

    void getDriverProcess()
    {
        QFETCH(QString, name);
        QFETCH(bool, found);
        UpgradeTestWorld world;
        QProcess program;
        if (!name.isEmpty()) {
            const QString path = world.path(name);
            QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), path));
            program.start(path, {QStringLiteral("600")});
            QVERIFY(program.waitForStarted());
        }
        ProcessInfo process;
        QTest::ignoreMessage(QtDebugMsg, found ? "find upgrade utility" : "no other upgrade utility");
        QCOMPARE(process.getDriverProcess(), found);
        if (!name.isEmpty()) {
            program.kill();
            program.waitForFinished();
        }
    }

    void startUpgradeNeverSignals()
    {
        UpgradeTestWorld world;
        ProcessInfo process;
        QVERIFY(process.result().isEmpty());
        QSignalSpy changes(&process, &ProcessInfo::statusChanged);
        process.start_Upgrade();
        const QVariantMap expected{{QStringLiteral("statsu"), 1}};
        QCOMPARE(process.result(), expected);
        QCOMPARE(process.result().value(QStringLiteral("statsu")).userType(), int(QMetaType::Int));
        process.start_Upgrade();
        QCOMPARE(process.property("result").toMap(), expected);
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
        const QString programDir = world.path(QStringLiteral("program"));
        const QString reportDir = programDir + QStringLiteral("/Report");
        QVERIFY(QDir().mkpath(reportDir));
        const QString report = reportDir + QStringLiteral("/upgrade report.txt");
        if (present) {
            QFile file(report);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::copy(QStringLiteral(UPGRADE_PROBE), programDir + QStringLiteral("/upgrade_probe")));

        // A desktop opener of our own, first in the search path.
        const QString bin = world.path(QStringLiteral("bin"));
        const QString opened = world.path(QStringLiteral("opened.txt"));
        QVERIFY(QDir().mkpath(bin));
        {
            QFile opener(bin + QStringLiteral("/xdg-open"));
            QVERIFY(opener.open(QIODevice::WriteOnly));
            opener.write("#!/bin/sh\n{ echo \"$#\"; printf '%s\\n' \"$@\"; pwd; } > \"$OPENED.part\"\n"
                         "mv \"$OPENED.part\" \"$OPENED\"\n");
        }
        QVERIFY(QFile::setPermissions(bin + QStringLiteral("/xdg-open"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));

        QProcess probe;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), bin + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        env.insert(QStringLiteral("OPENED"), opened);
        probe.setProcessEnvironment(env);
        probe.start(programDir + QStringLiteral("/upgrade_probe"),
                    {QStringLiteral("openReport"), QStringLiteral("upgrade report.txt")});
        QVERIFY(probe.waitForFinished(30000));
        const QString log = QString::fromLocal8Bit(probe.readAllStandardError());
        if (present) {
            QCOMPARE(probe.readAllStandardOutput(), QByteArray("true"));
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(opened), 20000);
            QFile file(opened);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll()), QStringLiteral("1\n") + report + QLatin1Char('\n')
                         + reportDir + QLatin1Char('\n'));
        } else {
            QCOMPARE(probe.readAllStandardOutput(), QByteArray("false"));
            QVERIFY2(log.contains(QStringLiteral("Does not exits: ") + report), qPrintable(log));
            QVERIFY(!QFile::exists(opened));
        }
    }
};

QTEST_GUILESS_MAIN(tst_ProcessInfo)
#include "tst_processinfo.moc"
