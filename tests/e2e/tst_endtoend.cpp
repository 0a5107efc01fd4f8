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
        TextFiles::write(env.programDir() + QStringLiteral("/config.ini"),
                         QStringLiteral("deviceFW_Ver=%1\nu_Code_Ver=V1.1.104\n").arg(firmware));
        QProcessEnvironment processEnv = env.environment(false);
        processEnv.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX_4K"), scenario4k);
        // freed memory filled, so that a use of a freed block crashes every time
        processEnv.insert(QStringLiteral("MALLOC_PERTURB_"), QStringLiteral("165"));
        QStringList args{QStringLiteral(RT48PX_HIDRAW), QStringLiteral("--transcript"), transcriptFile(),
                         QStringLiteral("--control"), env.path(QStringLiteral("control"))};
        for (const QString &device : devices)
            args << QStringLiteral("--device") << device;
        args << QStringLiteral("--") << env.program();
        process.setProgram(QStringLiteral("umockdev-wrapper"));
        process.setArguments(args);
        process.setProcessEnvironment(processEnv);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
    }
    ~WizardRun()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(5000);
        }
    }
    QString transcriptFile() const { return env.path(QStringLiteral("transcript.txt")); }
    // A command for the harness (replug, unplug, linger); true once it is applied.
    bool control(const QString &command) const
    {
        QFile fifo(env.path(QStringLiteral("control")));
        if (!fifo.open(QIODevice::WriteOnly) || fifo.write((command + QLatin1Char('\n')).toUtf8()) <= 0)
            return false;
        fifo.close();
        const QString done = QStringLiteral("control %1: done").arg(command);
        return QTest::qWaitFor([&] { return TextFiles::lines(transcriptFile()).contains(done); }, 10000);
    }
    QString recordFile() const { return env.recordPath(); }
    // The device transcript's feature reports: "PATH send|get ID LENGTH RESULT".
    QStringList reports() const { return TextFiles::reports(transcriptFile()); }

    TestWorld env;
    QProcess process;
};

}

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void upgrade_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QString>("scenario4k");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<bool>("microcodeStage");
        QTest::addColumn<bool>("keys");   // Enter and Space alone instead of clicks

        const QStringList opening{"start", "information", "device-stage1", "progress-stage1"};
        QTest::newRow("micro-code stage")
            << QStringList{"kind=mute,product=Receiver", "microcode=V1R1103"} << "normal" << "V1.1.107"
            << opening + QStringList{"device-stage2", "progress-stage2", "device-stage3", "progress-stage3", "success"}
            << true << false;
        QTest::newRow("micro-code current, keys alone")
            << QStringList{"microcode=V1R1104"} << "normal" << "V7.7.777"
            << opening + QStringList{"progress-stage2", "progress-stage3", "success"} << false << true;
        QTest::newRow("micro-code upgrade fails, keys alone")
            << QStringList{"microcode=V1R1103"} << "fail2" << "V1.1.107"
            << opening + QStringList{"device-stage2", "progress-stage2", "failure-stage2", "information"} << true << true;
    }

    void upgrade()
    {
        QFETCH(QStringList, devices);
        QFETCH(QString, scenario4k);
        QFETCH(QString, firmware);
        QFETCH(QStringList, pages);
        QFETCH(bool, microcodeStage);
        QFETCH(bool, keys);

        WizardRun run(devices, firmware, scenario4k);
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 30000),
                 qPrintable(QString::fromLocal8Bit(run.process.readAll())));

        WizardWalker::WalkOptions options;
        options.shotsDir = QCoreApplication::applicationDirPath() + QStringLiteral("/e2e-shots/")
                           + QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression(QStringLiteral("[ ,]+")), QStringLiteral("-"));
        options.keys = keys;
        const QVector<WizardWalker::Visit> visits = walker.walk(options);
        QCOMPARE(WizardWalker::labels(visits), pages);

        // Every page looks different from the one before it.
        for (int i = 1; i < visits.size(); ++i)
            QVERIFY2(visits[i].shot != visits[i - 1].shot, qPrintable(visits[i].label()));

        // The device took the 0xA0 command and the seven-byte 0xFF probe only for the
        // micro-code stage (it refuses any wrong byte); the stand-in upgrade programs
        // got the device's path; config.ini keeps its versions and has gained the
        // policy defaults.
        const QString reports = run.reports().join(QLatin1Char('\n'));
        QVERIFY(reports.contains(QLatin1String(" send 92 8 8")));
        QCOMPARE(reports.contains(QLatin1String(" send a2 8 8")), microcodeStage);
        QCOMPARE(reports.contains(QLatin1String(" send 01 7 7")), microcodeStage);
        const QStringList record = TextFiles::lines(run.recordFile());
        QCOMPARE(record.contains(QStringLiteral("started RT48PX_4K")), microcodeStage);
        QVERIFY2(!record.filter(QRegularExpression(QStringLiteral("^reply /dev/hidraw\\d+\\|$"))).isEmpty(),
                 qPrintable(record.join(QLatin1Char('\n'))));
        if (microcodeStage && scenario4k == QLatin1String("normal"))   // the flash reached the device
            QVERIFY(TextFiles::lines(run.transcriptFile()).contains(QStringLiteral("control set microcode=V1R1104: done")));
        const QSettings config(run.env.programDir() + QStringLiteral("/config.ini"), QSettings::IniFormat);
        QCOMPARE(QStringList({config.value("deviceFW_Ver").toString(), config.value("needUp4k").toString(),
                              config.value("compareStatus").toString()}),
                 QStringList({firmware, "1.1.104", "true"}));

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
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY(walker.waitForPage(WizardWalker::Page::Start, 30000));
        QVERIFY(walker.walkUntil([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Device; }));

        // Three searches probe the other device and find nothing; Confirm stays disabled.
        QTRY_VERIFY_WITH_TIMEOUT(run.reports().filter(QStringLiteral(" send 01 512 512")).size() >= 3, 20000);
        const QImage shot = walker.grab();
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
        QTest::addColumn<int>("stage");
        QTest::addColumn<QString>("command");   // to the harness
        QTest::addColumn<QString>("reached");   // what shows the new node was used; empty: the failure page
        QTest::newRow("stage 1, replugged") << 1 << "replug 0" << "/dev/hidraw1 send a2 8 8";
        QTest::newRow("stage 1, unplugged") << 1 << "unplug 0" << "";
        QTest::newRow("stage 1, unplugged, node lingers") << 1 << "linger 0" << "";
        QTest::newRow("stage 2, replugged") << 2 << "replug 0" << "/dev/hidraw1 send 01 7 7";
        QTest::newRow("stage 2, unplugged") << 2 << "unplug 0" << "";
        QTest::newRow("stage 3, replugged") << 3 << "replug 0" << "reply /dev/hidraw1|";
        QTest::newRow("stage 3, unplugged") << 3 << "unplug 0" << "";
    }
    void switchChangesBeforeConfirm()
    {
        QFETCH(int, stage);
        QFETCH(QString, command);
        QFETCH(QString, reached);
        WizardRun run({QStringLiteral("microcode=V1R1103")});
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY(walker.waitForPage(WizardWalker::Page::Start, 30000));
        // On this stage's device page, the switch found and Confirm enabled.
        QVERIFY(walker.walkUntil([stage](const QImage &s) {
            return WizardWalker::page(s) == WizardWalker::Page::Device && WizardWalker::highlightedStage(s) == stage
                && WizardWalker::confirmButton(s) == WizardWalker::Button::Enabled;
        }, 120000));
        QVERIFY(run.control(command));
        QVERIFY(walker.click(WizardWalker::ConfirmButton));

        if (reached.isEmpty()) {
            QVERIFY(walker.waitForPage(WizardWalker::Page::Failure, 20000));
        } else {
            const bool record = reached.startsWith(QLatin1String("reply"));
            QTRY_VERIFY_WITH_TIMEOUT((record ? TextFiles::lines(run.recordFile()) : TextFiles::reports(run.transcriptFile()))
                                         .contains(reached), 30000);
            QCOMPARE(WizardWalker::page(walker.grab()) == WizardWalker::Page::Failure, false);
        }
        QCOMPARE(run.process.state(), QProcess::Running);
    }

    void secondStartBringsTheWindowBack()
    {
        WizardRun run({QStringLiteral("microcode=V1R1104")});
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY(walker.waitForPage(WizardWalker::Page::Start, 30000));

        CoverWindow cover;
        QVERIFY(cover.coverScreen());
        QVERIFY(walker.waitFor([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Unknown; }, 10000));

        QProcess later;
        run.env.prepare(later, {QStringLiteral("again")}, false);
        later.start();
        QVERIFY(later.waitForFinished(30000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 10000), "the running wizard did not come to the front");
        QCOMPARE(run.process.state(), QProcess::Running);
    }
};

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
