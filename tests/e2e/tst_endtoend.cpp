// The real program, end to end: the unmodified executable in a real X window,
// the emulated RT48PX presented to the unmodified hidapi-hidraw library through
// umockdev, the stand-in upgrade programs in upgradefile/, and real clicks.
#include "CoverWindow.h"
#include "TestWorld.h"
#include "TextFiles.h"
#include "WizardWalker.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QtTest>

namespace {

// One run of the wizard under the device harness, in a world of its own.
class WizardRun
{
public:
    explicit WizardRun(const QStringList &devices, const QString &firmware = QStringLiteral("V1.1.107"),
                       const QString &scenario4k = QStringLiteral("normal"))
    {
        env.installProgram();
        TextFiles::write(env.programDir() + "/config.ini", QString("deviceFW_Ver=%1\nu_Code_Ver=V1.1.104\n").arg(firmware));
        QProcessEnvironment processEnv = env.environment(false);
        processEnv.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX_4K"), scenario4k);
        // freed memory filled, so that a use of a freed block crashes every time
        processEnv.insert(QStringLiteral("MALLOC_PERTURB_"), QStringLiteral("165"));
        QStringList args{RT48PX_HIDRAW, "--transcript", transcriptFile(), "--control", env.path("control")};
        for (const QString &device : devices)
            args << "--device" << device;
        process.setArguments(args << "--" << env.program());
        process.setProgram("umockdev-wrapper");
        process.setProcessEnvironment(processEnv);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
    }
    ~WizardRun()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
        process.waitForFinished(5000);
    }
    // The wizard's window showed its start page.
    bool started() { return walker.waitForPage(WizardWalker::Page::Start, 30000); }
    QString transcriptFile() const { return env.path(QStringLiteral("transcript.txt")); }
    // A command for the harness (replug, unplug, linger); true once it is applied.
    bool control(const QString &command) const
    {
        if (!TextFiles::write(env.path("control"), command + '\n'))
            return false;
        const QString done = QStringLiteral("control %1: done").arg(command);
        return QTest::qWaitFor([&] { return TextFiles::lines(transcriptFile()).contains(done); }, 10000);
    }
    QString recordFile() const { return env.recordPath(); }
    // The device transcript's feature reports: "PATH send|get ID LENGTH RESULT".
    QStringList reports() const { return TextFiles::reports(transcriptFile()); }

    TestWorld env;
    QProcess process;
    WizardWalker walker{QGuiApplication::primaryScreen()};
};

// keys: Enter and Space alone instead of clicks
struct Upgrade { QStringList devices; QString scenario4k, firmware; QStringList pages; bool microcodeStage, keys; };

}

Q_DECLARE_METATYPE(Upgrade)
// command: to the harness; reached: what shows the new node was used, empty: the failure page
struct Change { int stage; QString command, reached; };
Q_DECLARE_METATYPE(Change)

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void upgrade_data()
    {
        QTest::addColumn<Upgrade>("row");
        const QStringList opening{"start", "information", "device-stage1", "progress-stage1"};
        QTest::newRow("micro-code stage") << Upgrade{{"kind=mute,product=Receiver", "microcode=V1R1103"}, "normal", "V1.1.107",
            opening + QStringList{"device-stage2", "progress-stage2", "device-stage3", "progress-stage3", "success"}, true, false};
        QTest::newRow("micro-code current, keys alone") << Upgrade{{"microcode=V1R1104"}, "normal", "V7.7.777",
            opening + QStringList{"progress-stage2", "progress-stage3", "success"}, false, true};
        QTest::newRow("micro-code upgrade fails, keys alone") << Upgrade{{"microcode=V1R1103"}, "fail2", "V1.1.107",
            opening + QStringList{"device-stage2", "progress-stage2", "failure-stage2", "information"}, true, true};
    }

    void upgrade()
    {
        QFETCH(Upgrade, row);
        WizardRun run(row.devices, row.firmware, row.scenario4k);
        QVERIFY2(run.started(), qPrintable(QString::fromLocal8Bit(run.process.readAll())));

        WizardWalker::WalkOptions options;
        options.shotsDir = QCoreApplication::applicationDirPath() + "/e2e-shots/"
                           + QString(QTest::currentDataTag()).replace(QRegularExpression("[ ,]+"), "-");
        options.keys = row.keys;
        const QVector<WizardWalker::Visit> visits = run.walker.walk(options);
        QCOMPARE(WizardWalker::labels(visits), row.pages);

        // Every page looks different from the one before it.
        for (int i = 1; i < visits.size(); ++i)
            QVERIFY2(visits[i].shot != visits[i - 1].shot, qPrintable(visits[i].label()));

        // The device took the 0xA0 command and the seven-byte 0xFF probe only for the
        // micro-code stage (it refuses any wrong byte); the stand-in upgrade programs
        // got the device's path; config.ini keeps its versions and has gained the
        // policy defaults.
        const QString reports = run.reports().join(QLatin1Char('\n'));
        QVERIFY(reports.contains(QLatin1String(" send 92 8 8")));
        QCOMPARE(reports.contains(QLatin1String(" send a2 8 8")), row.microcodeStage);
        QCOMPARE(reports.contains(QLatin1String(" send 01 7 7")), row.microcodeStage);
        const QStringList record = TextFiles::lines(run.recordFile());
        QCOMPARE(record.contains(QStringLiteral("started RT48PX_4K")), row.microcodeStage);
        QVERIFY2(!record.filter(QRegularExpression(QStringLiteral("^reply /dev/hidraw\\d+\\|$"))).isEmpty(),
                 qPrintable(record.join(QLatin1Char('\n'))));
        if (row.microcodeStage && row.scenario4k == "normal")   // the flash reached the device
            QVERIFY(TextFiles::lines(run.transcriptFile()).contains(QStringLiteral("control set microcode=V1R1104: done")));
        const QSettings config(run.env.programDir() + "/config.ini", QSettings::IniFormat);
        QCOMPARE(QStringList({config.value("deviceFW_Ver").toString(), config.value("needUp4k").toString(),
                              config.value("compareStatus").toString()}),
                 QStringList({row.firmware, "1.1.104", "true"}));

        if (visits.last().page == WizardWalker::Page::Success) {
            // Finish ends the program with exit code 0.
            QTRY_COMPARE_WITH_TIMEOUT(run.process.state(), QProcess::NotRunning, 15000);
            QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(run.process.exitCode(), 0);
        }
    }

    void searchGoesOnWithoutTheDevice()
    {
        WizardRun run({QStringLiteral("kind=foreign,product=Keyboard")});
        QVERIFY(run.started());
        QVERIFY(run.walker.walkUntil([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Device; }));

        // Three searches probe the other device and find nothing; Confirm stays disabled.
        QTRY_VERIFY_WITH_TIMEOUT(run.reports().filter(QStringLiteral(" send 01 512 512")).size() >= 3, 20000);
        const QImage shot = run.walker.grab();
        QCOMPARE(WizardWalker::page(shot), WizardWalker::Page::Device);
        QCOMPARE(WizardWalker::confirmButton(shot), WizardWalker::Button::Disabled);
        QVERIFY(run.reports().filter(QStringLiteral(" send 82 ")).isEmpty());
    }

    // The switch on a device page after it was found, before Confirm: replugged
    // as the page says (it comes back as a new hidraw node), or unplugged (its
    // node gone, or still lingering). Confirm acts on the switch attached now,
    // or ends on the failure page, whose Restart the user can act on.
    void switchChangesBeforeConfirm_data()
    {
        QTest::addColumn<Change>("row");
        QTest::newRow("stage 1, replugged") << Change{1, "replug 0", "/dev/hidraw1 send a2 8 8"};
        QTest::newRow("stage 1, unplugged") << Change{1, "unplug 0", ""};
        QTest::newRow("stage 1, unplugged, node lingers") << Change{1, "linger 0", ""};
        QTest::newRow("stage 2, replugged") << Change{2, "replug 0", "/dev/hidraw1 send 01 7 7"};
        QTest::newRow("stage 2, unplugged") << Change{2, "unplug 0", ""};
        QTest::newRow("stage 3, replugged") << Change{3, "replug 0", "reply /dev/hidraw1|"};
        QTest::newRow("stage 3, unplugged") << Change{3, "unplug 0", ""};
    }
    void switchChangesBeforeConfirm()
    {
        QFETCH(Change, row);
        WizardRun run({QStringLiteral("microcode=V1R1103")});
        QVERIFY(run.started());
        // On this stage's device page, the switch found and Confirm enabled.
        QVERIFY(run.walker.walkUntil([stage = row.stage](const QImage &s) {
            return WizardWalker::page(s) == WizardWalker::Page::Device && WizardWalker::highlightedStage(s) == stage
                && WizardWalker::confirmButton(s) == WizardWalker::Button::Enabled;
        }, 120000));
        QVERIFY(run.control(row.command));
        QVERIFY(run.walker.click(WizardWalker::ConfirmButton));

        if (row.reached.isEmpty()) {
            QVERIFY(run.walker.waitForPage(WizardWalker::Page::Failure, 20000));
        } else {
            const bool record = row.reached.startsWith(QLatin1String("reply"));
            QTRY_VERIFY_WITH_TIMEOUT((record ? TextFiles::lines(run.recordFile()) : TextFiles::reports(run.transcriptFile()))
                                         .contains(row.reached), 30000);
            QCOMPARE(WizardWalker::page(run.walker.grab()) == WizardWalker::Page::Failure, false);
        }
        QCOMPARE(run.process.state(), QProcess::Running);
    }

    void secondStartBringsTheWindowBack()
    {
        WizardRun run({QStringLiteral("microcode=V1R1104")});
        QVERIFY(run.started());

        CoverWindow cover;
        QVERIFY(cover.coverScreen());
        QVERIFY(run.walker.waitFor([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Unknown; }, 10000));

        QProcess later;
        run.env.prepare(later, {QStringLiteral("again")}, false);
        later.start();
        QVERIFY(later.waitForFinished(30000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QVERIFY2(run.walker.waitForPage(WizardWalker::Page::Start, 10000), "the running wizard did not come to the front");
        QCOMPARE(run.process.state(), QProcess::Running);
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
