// The Windows program under Wine when the world misbehaves: upgrade programs that
// die, leave a worker behind, report without naming their window, hang or are
// not ours at all, also when started through the shell; a copy of the upgrade
// program that someone tries to swap; a missing upgrade program, a
// window-manager close mid-upgrade; and what support gets from it (the
// log file) and the probe's refusal while a wizard runs. Real clicks and
// screenshots on the test's Xvfb, the stand-in hidapi library and the stand-in
// upgrade programs.
#include "../common/CoverWindow.h"
#include "../common/TextFiles.h"
#include "WineWizard.h"
#include "WizardWalker.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

namespace {

const QString kRecords = QStringLiteral("C:/records");
// The stand-in library's device 1 as the wizard keeps its path and hands it on.
const QString kDevicePath = QStringLiteral("\\\\?\\hid#vid_f0e1&pid_0048#7&1a2b3c01&0&0000");
// A mouse-like device ahead of the RT48PX; its micro-code needs the upgrade or not.
const QString kMicrocodeOld = QStringLiteral("kind=mute,product=Receiver;microcode=V1R1103");
const QString kMicrocodeCurrent = QStringLiteral("kind=mute,product=Receiver;microcode=V1R1104");

using Page = WizardWalker::Page;

// The wizard with the stand-in hidapi library's `devices` and the variables
// "NAME=value" of `variables` that have a value (the upgrade programs'
// scenarios: UPVANE_UPGRADER_SCENARIO_<variant>).
bool startWith(WineWizard &wizard, const WizardWalker &walker, const QString &devices, const QStringList &variables = {})
{
    QProcessEnvironment env;
    for (const QString &variable : variables.filter(QRegularExpression(QStringLiteral("=."))))
        env.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    wizard.useStandinHid(devices);
    return wizard.startAtStartPage(walker, env);
}


bool atNinety(const QImage &shot)
{
    return WizardWalker::page(shot) == Page::Progress && qAbs(WizardWalker::barPercent(shot) - 90) <= 1;
}

// Clicks through the pages as a user would until the upgrade program `variant`
// has been started and the progress page shows.
bool driveToProgram(const WizardWalker &walker, const WineWizard &wizard, const QString &variant)
{
    return walker.walkUntil([&](const QImage &shot) {
        return WizardWalker::page(shot) == Page::Progress && wizard.record().contains(QStringLiteral("started ") + variant);
    }, 120000);
}

// A window-manager close of the wizard: Alt+F4 after a click into the page
// (which gives it the keyboard); Wine turns it into WM_CLOSE.
void closeFromWindowManager(const WizardWalker &walker)
{
    walker.click(QPoint(500, 600));
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("alt+F4")});
}

}

// A stage's upgrade program: the variant started, UPVANE_UPGRADE_START,
// UPVANE_UPGRADER_HANDLE, its scenario, the record's line when it ended or
// reported last ("sent 1": success), and a line the log holds too (%1: the
// started process).
struct EndRow { QString variant, start, handle, scenario, lastStep, logged; };
Q_DECLARE_METATYPE(EndRow)

class tst_WineGuard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        WINE_TESTS_REQUIRED();
    }

    // The stage's upgrade program as it may behave, started by CreateProcess or
    // (as a program that asks for elevation is) through the shell: it ends (or
    // crashes) without its final report, and the failure page comes within
    // seconds of the end of its last process, never before; a launcher leaves a
    // worker to do the work, which is heard, also when its window is unnamed
    // (wParam 0: its 3 and 4 cannot be answered).
    void programEnds_data()
    {
        QTest::addColumn<EndRow>("row");

        const QString worker = QStringLiteral("child pause:10000 3 pause:300 1");
        QTest::newRow("micro-code program crashes after its question") << EndRow{"RT48PX_4K", "", "", "crash", "crash", ""};
        QTest::newRow("firmware program ends without a word") << EndRow{"RT48PX", "", "", "quiet", "exit", ""};
        QTest::newRow("unknown code, then it ends") << EndRow{"RT48PX", "", "", "pause:300 7 exit", "exit", ""};
        QTest::newRow("a launcher's worker reports 10 s later") << EndRow{"RT48PX", "", "", worker, "sent 1", ""};
        QTest::newRow("shell: crashes after its question")
            << EndRow{"RT48PX", "shell", "", "crash", "crash", "Upgrade program %1 started through the shell"};
        QTest::newRow("shell: a launcher's worker reports 10 s later") << EndRow{"RT48PX", "shell-late", "", worker, "sent 1", ""};
        QTest::newRow("shell: the launcher's worker runs on silent, then ends")
            << EndRow{"RT48PX", "shell-late", "", "child pause:4000 exit", "exit", ""};
        QTest::newRow("shell: wParam 0, 3 and 4 unanswered, then 1")
            << EndRow{"RT48PX", "shell", "0", "child pause:300 hex:33 pause:300 hex:34 pause:300 1", "sent 1", "can't find upgrade tool"};
        QTest::newRow("shell: wParam 0, then 0") << EndRow{"RT48PX", "shell", "0", "child pause:300 0 pause:5000 exit", "sent 0", ""};
        QTest::newRow("wParam 0, then 2") << EndRow{"RT48PX", "", "0", "pause:300 2 pause:5000 exit", "sent 2", ""};
    }

    void programEnds()
    {
        QFETCH(EndRow, row);
        const bool success = row.lastStep == QLatin1String("sent 1");
        const bool reported = row.lastStep.startsWith(QLatin1String("sent "));

        WineWizard wizard;
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(startWith(wizard, walker, row.variant == QLatin1String("RT48PX") ? kMicrocodeCurrent : kMicrocodeOld,
                           {QStringLiteral("UPVANE_UPGRADER_SCENARIO_%1=%2").arg(row.variant, row.scenario),
                            QStringLiteral("UPVANE_UPGRADE_START=") + row.start, QStringLiteral("UPVANE_UPGRADER_HANDLE=") + row.handle}),
                 qPrintable(wizard.failure()));
        QVERIFY2(driveToProgram(walker, wizard, row.variant), qPrintable(wizard.record().join(QLatin1Char('\n'))));
        QTRY_VERIFY_WITH_TIMEOUT(TextFiles::indexOfPrefix(wizard.record(), row.lastStep) >= 0, 30000);
        QVERIFY2(WizardWalker::page(walker.grab()) != Page::Failure, "failure page while the upgrade program ran");
        QVERIFY2(walker.waitForPage(success ? Page::Success : Page::Failure, success ? 30000 : 8000),
                 qPrintable(wizard.record().join(QLatin1Char('\n'))));
        const QString pid = wizard.recorded(QStringLiteral("pid"));
        for (QString line : {reported ? QStringLiteral("Upgrade program %1 gave its final report")
                                      : QStringLiteral("Upgrade program %1 ended without a final report"), row.logged}) {
            line.replace(QStringLiteral("%1"), pid);
            QTRY_VERIFY2_WITH_TIMEOUT(wizard.log().contains(line), qPrintable(line), 5000);
        }
        if (!row.handle.isEmpty())
            QCOMPARE(TextFiles::indexOfPrefix(wizard.record(), QStringLiteral("reply")), -1);   // nobody to answer
        else if (success)
            QCOMPARE(wizard.recorded(QStringLiteral("reply")), kDevicePath + QLatin1Char('|'));
        if (!reported)   // the failure page's line, as logged
            QVERIFY(wizard.log().contains(QStringLiteral("failure: %1.exe ended without reporting a result (exit code ").arg(row.variant)));
    }

    // Between its copy and its start, upgrade.exe cannot be written, replaced or
    // deleted (swap-copy.exe tries); a copy that is no longer the shipped
    // program is not started, and the start says why.
    void copyHeldUntilStarted_data()
    {
        QTest::addColumn<QStringList>("change");   // swap-copy's "change": the shipped program changes
        QTest::newRow("nothing touches it: it starts") << QStringList();
        QTest::newRow("the shipped program changed meanwhile: refused") << QStringList{"change"};
    }

    void copyHeldUntilStarted()
    {
        QFETCH(QStringList, change);
        const bool shippedChanged = !change.isEmpty();
        WineWizard wizard;
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        QVERIFY(QFile::copy(WinePrefix::windowsBuild() + QStringLiteral("/tests/wine/programs/swap-copy.exe"),
                            wizard.programDir() + QStringLiteral("/swap-copy.exe")));
        QProcessEnvironment env;
        env.insert(QStringLiteral("UPVANE_UPGRADER_RECORD"), kRecords + QStringLiteral("/upgrader.txt"));
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO"), QStringLiteral("exit"));
        QProcess swap;
        wizard.wine.prepare(swap, QStringLiteral("C:/Upvane/swap-copy.exe"), QStringList{QStringLiteral("C:/Upvane/upgradefile/RT48PX.exe")} + change, env);
        swap.start();
        QVERIFY(swap.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(swap.readAll());
        QVERIFY2(said.contains(QStringLiteral("write 0 replace 0 delete 0")), qPrintable(said));
        QCOMPARE(swap.exitCode(), shippedChanged ? 1 : 0);
        if (shippedChanged) {
            QVERIFY2(said.contains(QStringLiteral("error upgrade.exe is not the shipped program.")), qPrintable(said));
            QVERIFY(wizard.record().isEmpty());
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(wizard.record().value(0), QStringLiteral("started RT48PX"), 20000);
        }
    }

    // RT48PX.exe missing: the failure page comes before anything is sent to the
    // device (no 0xA0 command, no micro-code stage), and the log names the file.
    // The program folder's name is not ASCII: the log holds it as UTF-8.
    void missingFirmwareProgram()
    {
        const QString folder = QStringLiteral("C:/Upvane Prüfung");
        WineWizard wizard(folder);
        QVERIFY(QFile::remove(wizard.programDir() + QStringLiteral("/upgradefile/RT48PX.exe")));
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(startWith(wizard, walker, kMicrocodeOld), qPrintable(wizard.failure()));

        WizardWalker::WalkOptions options;
        options.timeoutMs = 90000;
        options.restartOnFailure = false;
        QCOMPARE(WizardWalker::labels(walker.walk(options)), (QStringList{"start", "information", "device-stage1", "failure-stage1"}));
        for (const QString &report : TextFiles::reports(wizard.recordPath(QStringLiteral("hid.txt"))))
            QVERIFY2(!report.contains(QLatin1String(" send a2 ")), qPrintable(report));
        QVERIFY(wizard.record().isEmpty());
        const QByteArray line = QStringLiteral("Upgrade program missing or unreadable: %1/upgradefile/RT48PX.exe")
                                    .arg(folder).toUtf8();
        QTRY_VERIFY_WITH_TIMEOUT(wizard.logBytes().contains(line), 5000);
        QVERIFY(wizard.log().contains(QStringLiteral("failure: RT48PX.exe is missing from the folder upgradefile.")));
    }

    // At 90 %, waiting for the firmware program (started through the shell, as
    // one that asks for elevation): another program (not started by the wizard)
    // sends "1" and "3"; neither is taken or answered. A window-manager
    // close is refused; the probe refuses to run and does not bring the wizard up;
    // a second start does.
    // Then the real program asks and reports; the result page closes; the log
    // tells it all.
    void onlyOurProgramSteers()
    {
        WineWizard wizard;
        const QString go = kRecords + QStringLiteral("/go");
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(startWith(wizard, walker, kMicrocodeCurrent,
                           {QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX=await:%1 3 pause:300 1").arg(go),
                            QStringLiteral("UPVANE_UPGRADE_START=shell")}),
                 qPrintable(wizard.failure()));
        QVERIFY(driveToProgram(walker, wizard, QStringLiteral("RT48PX")));
        QVERIFY(walker.waitFor(atNinety, 15000));

        // The impostor: the shipped stand-in, started by us in the same Windows.
        // Its statuses are logged as ignored, move nothing and get no answer.
        QProcess impostor;
        QProcessEnvironment env;
        env.insert(QStringLiteral("UPVANE_UPGRADER_RECORD"), kRecords + QStringLiteral("/impostor.txt"));
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX"), QStringLiteral("1 pause:300 3"));
        wizard.wine.prepare(impostor, QStringLiteral("C:/Upvane/upgradefile/RT48PX.exe"), {QStringLiteral("-f")}, env);
        impostor.start();
        QTRY_VERIFY_WITH_TIMEOUT(wizard.record(QStringLiteral("impostor.txt")).contains(QStringLiteral("sent 3")), 30000);
        const QString impostorPid = wizard.recorded(QStringLiteral("pid"), 0, QStringLiteral("impostor.txt"));
        const QString ignored = QStringLiteral("Status \"%1\" from process %2 \\(handle -?\\d+\\) ignored");
        QTRY_VERIFY_WITH_TIMEOUT(wizard.log().contains(QRegularExpression(ignored.arg(QStringLiteral("3"), impostorPid))), 5000);
        QVERIFY(wizard.log().contains(QRegularExpression(ignored.arg(QStringLiteral("1"), impostorPid))));
        QVERIFY2(!walker.waitFor([](const QImage &s) { return !atNinety(s); }, 2000), "the impostor moved the bar");

        // A window-manager close mid-upgrade is refused.
        closeFromWindowManager(walker);
        QVERIFY2(!wizard.process.waitForFinished(3000), "the wizard quit mid-upgrade");
        QVERIFY(atNinety(walker.grab()));

        // The probe refuses with exit code 2, searches nothing and leaves the
        // wizard where it is (behind our cover).
        CoverWindow cover;
        QVERIFY(cover.coverScreen());
        QVERIFY(walker.waitForPage(Page::Unknown, 10000));
        QProcess probe;
        wizard.wine.prepare(probe, wizard.program(), {QStringLiteral("--probe")});
        probe.start();
        QVERIFY(probe.waitForFinished(60000));
        const QString said = QString::fromLocal8Bit(probe.readAll());
        QCOMPARE(probe.exitCode(), 2);
        QVERIFY2(said.contains(QStringLiteral("the wizard is running")), qPrintable(said));
        QVERIFY2(!walker.waitFor([](const QImage &s) { return WizardWalker::page(s) != Page::Unknown; }, 2000),
                 "the probe brought the wizard to the front");
        // A second start finds the first through its named pipe, hands over and
        // exits with code 0; the first comes to the front.
        QProcess later;
        wizard.wine.prepare(later, wizard.program(), {QStringLiteral("again")});
        later.start();
        QVERIFY(later.waitForFinished(60000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QVERIFY2(walker.waitFor(atNinety, 15000), "the running wizard did not come to the front");
        QCOMPARE(wizard.wine.processes(QStringLiteral("upvane.exe")).size(), 1);

        // The wizard's own program asks, is answered and reports success.
        QVERIFY(TextFiles::write(wizard.wine.unixPath(go), QStringLiteral("go")));
        QVERIFY2(walker.waitForPage(Page::Success, 30000), qPrintable(wizard.record().join(QLatin1Char('\n'))));
        QCOMPARE(wizard.recorded(QStringLiteral("reply")), kDevicePath + QLatin1Char('|'));
        QCOMPARE(wizard.record().last(), QStringLiteral("finished"));

        // On the result page a window-manager close ends the wizard; the impostor
        // never got an answer.
        closeFromWindowManager(walker);
        QVERIFY2(wizard.process.waitForFinished(15000), "the result page did not close");
        QCOMPARE(wizard.process.exitCode(), 0);
        QVERIFY(impostor.waitForFinished(30000));
        QCOMPARE(TextFiles::indexOfPrefix(wizard.record(QStringLiteral("impostor.txt")), QStringLiteral("reply ")), -1);
        // The log tells the search, the program's start and its statuses.
        const QString realPid = wizard.recorded(QStringLiteral("pid"));
        for (const QString &expected : {QStringLiteral(" info upvane.search: search: 2 HID devices"),
                                        QStringLiteral("Upgrade program started: "),
                                        QStringLiteral("Status \"3\" from upgrade program process %1").arg(realPid),
                                        QStringLiteral("Status \"1\" from upgrade program process %1").arg(realPid),
                                        QStringLiteral("page: Upgrade_status.qml, stage 3, success")})
            QVERIFY2(wizard.log().contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + wizard.log()));
    }

    // A hung upgrade program (it takes no message) does not hang the wizard: the
    // answer is given up after a few seconds and logged, the window keeps
    // painting, and the program's later report still ends the stage.
    void hungProgram()
    {
        WineWizard wizard;
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(startWith(wizard, walker, kMicrocodeCurrent, {QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX=pause:300 hex:33 freeze:15000 pause:300 1")}),
                 qPrintable(wizard.failure()));
        QVERIFY(driveToProgram(walker, wizard, QStringLiteral("RT48PX")));

        QTRY_VERIFY_WITH_TIMEOUT(wizard.log().contains(QStringLiteral("Upgrade program did not take the answer within 5000 ms")), 12000);
        // Still frozen (checked after): the wizard paints again when it is uncovered.
        CoverWindow cover;
        QVERIFY(cover.coverScreen());
        QVERIFY(walker.waitForPage(Page::Unknown, 3000));
        cover.hide();
        QVERIFY2(walker.waitFor(atNinety, 3000), "the wizard did not paint while the upgrade program hung");
        QVERIFY2(!wizard.record().contains(QStringLiteral("sent 1")), "the check came too late: the program no longer hung");

        QVERIFY2(walker.waitForPage(Page::Success, 30000), qPrintable(wizard.record().join(QLatin1Char('\n'))));
        QCOMPARE(wizard.record().last(), QStringLiteral("finished"));
    }
};

QTEST_MAIN(tst_WineGuard)
#include "tst_wineguard.moc"
