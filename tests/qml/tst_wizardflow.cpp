// The wizard's flow through the real main.qml: the real HidSocket over the
// stand-in hidapi library, the real io, process and event objects, and the
// stand-in upgrade programs in this test program's folder. The end-to-end test
// clicks through whole upgrades; this one checks the state behind the pages.
#include "FakeHid.h"
#include "StatusChannel.h"
#include "Wizard.h"
#include "WizardWalker.h"

#include <QCloseEvent>

namespace {

constexpr int Search = 10000;   // a search every 2 s, a bar of one or two seconds
const QString DevicePath = QStringLiteral("/fake/hidraw0");

// A device whose micro-code is older than the "needUp4k" of the test's config.ini.
int addOldDevice()
{
    Rt48px::DeviceConfig config;
    config.microcode = "V1R1103";
    return FakeHid::addDevice(config);
}

}

class tst_WizardFlow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWorld> m_world;   // a new one each test: hung programs of the last write on
    std::unique_ptr<Wizard> m_wizard;

    // The stage-3 device found; the firmware stage starts as its Confirm starts it.
    void toFirmwareStage()
    {
        FakeHid::addDevice();
        m_wizard->call("searchDevice");
        m_wizard->set("operate_device_info", QVariantMap{{"status", 3}, {"msg", "Firmware update"}});
        m_wizard->set("usb_path", DevicePath);
        m_wizard->set("step", 3);
        m_wizard->call("upgrade_device");
    }

    // Everything main.qml sets when it reaches the failure page, and the line
    // that says why.
    void verifyFailurePage(const QString &cause) const
    {
        QCOMPARE(m_wizard->page(), QLatin1String(Wizard::ResultPage));
        QCOMPARE(m_wizard->integer("upSuccess"), 0);
        QCOMPARE(m_wizard->integer("closebtn"), 1);
        QCOMPARE(m_wizard->integer("confirmEn"), 1);
        QCOMPARE(m_wizard->setting("foot_control_info", "btn").toString(), QStringLiteral("Restart"));
        QObject *line = m_wizard->pageObject("cause_txt");
        QVERIFY(line);
        QCOMPARE(line->property("text").toString(), cause);
        QVERIFY(line->property("visible").toBool());
    }

private slots:
    void init()
    {
        FakeHid::reset();
        m_world = std::make_unique<TestWorld>();
        QVERIFY(furnishForWizard(*m_world));
        m_wizard = std::make_unique<Wizard>();
        QVERIFY(m_wizard->window);
    }

    void cleanup()
    {
        const QStringList warnings = m_wizard ? m_wizard->warnings : QStringList();
        m_wizard.reset();
        m_world.reset();
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join(QLatin1Char('\n'))));
    }

    // The bar stops at 90 while the program asks (code 3 answered with the device
    // path, 4 with "0") and the close button, the window manager's close
    // included, is refused; the success report completes it, and the success
    // page finds the switch with its old firmware. (Reports of other
    // processes never reach the wizard: tst_upgradeeventfilter.)
    void barWaitsAt90UntilTheReport()
    {
        Wizard &wizard = *m_wizard;
        QTemporaryDir blankless(QDir::tempPath() + QStringLiteral("/upvane-go-XXXXXX"));   // a scenario step holds no blank
        const QString go = blankless.filePath(QStringLiteral("go"));
        qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", ("3 4 await:" + go + " 1").toUtf8());
        toFirmwareStage();

        QTRY_COMPARE_WITH_TIMEOUT(wizard.progress(), 90, Search);
        QCOMPARE(wizard.pageObject("process_txt")->property("text").toString(), QStringLiteral("90 %"));
        QVERIFY(!wizard.item("closeButton", "head_load")->property("enabled").toBool());
        wizard.click(WizardWalker::CloseButton);
        QCloseEvent refused;
        QCoreApplication::sendEvent(wizard.window, &refused);
        QVERIFY(!refused.isAccepted());
        QVERIFY(wizard.window->isVisible());

        QTRY_COMPARE_WITH_TIMEOUT(m_world->recorded(QStringLiteral("reply")), (QStringList{DevicePath + '|', "0|"}), Search);
        QCOMPARE(wizard.progress(), 90);

        QVERIFY(QFile(go).open(QIODevice::WriteOnly));
        QTRY_COMPARE_WITH_TIMEOUT(wizard.progress(), 100, Search);
        QTRY_COMPARE_WITH_TIMEOUT(wizard.page(), QLatin1String(Wizard::ResultPage), Search);
        QCOMPARE(wizard.integer("upSuccess"), 1);
        // Nothing made the switch take the firmware: the success page warns.
        QTRY_VERIFY_WITH_TIMEOUT(wizard.pageObject("check_txt")->property("text").toString().startsWith(
                                     QLatin1String("Warning: the RT48PX still reports firmware 01.0.107, older than this upgrade.")), Search);
        QVERIFY(wizard.pageObject("check_link")->property("visible").toBool());
        QCOMPARE(wizard.quitSpy.count(), 0);
        QCloseEvent accepted;
        QCoreApplication::sendEvent(wizard.window, &accepted);
        QVERIFY(accepted.isAccepted());
        wizard.click(WizardWalker::CloseButton);
        QCOMPARE(wizard.quitSpy.count(), 1);
    }

    // The programs the run needs are checked before anything goes to the device:
    // a missing one fails at Confirm, with no 0xA0 command sent.
    void missingUpgradeProgram_data()
    {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<bool>("microcodePath");
        QTest::newRow("micro-code program, micro-code path") << "RT48PX_4K.exe" << true;
        QTest::newRow("firmware program, micro-code path") << "RT48PX.exe" << true;
        QTest::newRow("firmware program, skip path") << "RT48PX.exe" << false;
    }

    void missingUpgradeProgram()
    {
        QFETCH(QString, missing);
        QFETCH(bool, microcodePath);
        Wizard &wizard = *m_wizard;
        const QString program = m_world->programDir() + QStringLiteral("/upgradefile/") + missing;
        QVERIFY(QFile::remove(program));
        Rt48px::DeviceConfig config;
        config.microcode = microcodePath ? "V1R1103" : "V1R1104";
        const int device = FakeHid::addDevice(config);
        wizard.call("prepareDevice");
        QTRY_COMPARE_WITH_TIMEOUT(wizard.integer("confirmEn"), 1, Search);
        QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Upgrade program missing or unreadable: ") + program));
        wizard.call("cleanDevice");
        verifyFailurePage(missing + QStringLiteral(" is missing from the folder upgradefile."));
        QCOMPARE(FakeHid::device(device).commandsReceived(), 0);
        QVERIFY(!QFile::exists(m_world->recordPath()));
    }

    // Stage 3 fails on codes 0 and 2, on a program that ends wholly without its
    // final report (which endings count as lost: tst_processinfo), and where its
    // program cannot be copied or started or the channel for its reports does not
    // listen (told at start-up; no program starts then); a text that is no code leaves
    // the bar waiting (which texts count as final codes: tst_statusframe).
    void firmwareStageFailures_data()
    {
        QTest::addColumn<QByteArray>("scenario");
        QTest::addColumn<QString>("breaks");   // "copy", "start" or "channel"
        QTest::addColumn<QString>("cause");    // empty: no failure
        QTest::newRow("code 0") << QByteArray("0 hang") << "" << "RT48PX.exe reported the failure code 0.";
        QTest::newRow("code 2 after the device question") << QByteArray("3 2 hang") << "" << "RT48PX.exe reported the failure code 2.";
        QTest::newRow("no code: 1.0") << QByteArray("hex:312e30 hang") << "" << QString();
        QTest::newRow("no final report") << QByteArray("quiet") << "" << "RT48PX.exe ended without reporting a result (exit code 0).";
        QTest::newRow("copy") << QByteArray("hang") << "copy"
            << "The earlier upgrade.exe in the application-data folder cannot be replaced; it may still be running (Is a directory).";
        QTest::newRow("start") << QByteArray("hang") << "start" << "RT48PX.exe could not be started: Permission denied.";
        QTest::newRow("channel") << QByteArray("hang") << "channel"
            << "RT48PX.exe could not be started: The wizard's channel for its reports could not be opened.";
    }

    void firmwareStageFailures()
    {
        QFETCH(QByteArray, scenario);
        QFETCH(QString, breaks);
        QFETCH(QString, cause);
        qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", scenario);
        if (breaks == QLatin1String("copy")) {   // a folder where the copy belongs
            QVERIFY(QDir().mkpath(m_wizard->services.io.get_userappdata_path() + QStringLiteral("/upgrade.exe/keep")));
        } else if (breaks == QLatin1String("start")) {
            QVERIFY(QFile::setPermissions(m_world->programDir() + QStringLiteral("/upgradefile/RT48PX.exe"),
                                          QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        } else if (breaks == QLatin1String("channel")) {
            m_wizard.reset();
            QVERIFY(QDir().mkpath(StatusChannel::address()));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Status channel does not listen at ")));
            m_wizard = std::make_unique<Wizard>();
            QVERIFY(m_wizard->window);
        }
        QSignalSpy reports(&m_wizard->services.event, &UpgradeEventFilter::statusChanged);
        toFirmwareStage();
        if (cause.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(reports.count(), 1, Search);
            QTRY_COMPARE_WITH_TIMEOUT(m_wizard->progress(), 90, Search);
            QCOMPARE(m_wizard->page(), QLatin1String(Wizard::ProgressPage));
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_wizard->page(), QLatin1String(Wizard::ResultPage), Search);
        verifyFailurePage(cause);
        QVERIFY2(breaks.isEmpty() || !QFile::exists(m_world->recordPath()), "an upgrade program started");
    }

    // A failing call of a stage reaches the failure page and starts no upgrade
    // program. (The failing open: confirmFailureAndRestart.)
    void failingConfirmationFailsStage2()
    {
        const int device = addOldDevice();
        FakeHid::device(device).config().failStep = Rt48px::Step::Confirmation;
        FakeHid::device(device).config().fault = Rt48px::Fault::Empty;
        m_wizard->set("firstSearch", 0);
        m_wizard->set("step", 1);
        m_wizard->call("searchDevice");
        QCOMPARE(m_wizard->integer("step"), 2);
        m_wizard->call("upgrade_4k");
        verifyFailurePage(QStringLiteral("The RT48PX did not answer before the micro-code upgrade."));
        QVERIFY2(!QFile::exists(m_world->recordPath()), "an upgrade program started");
    }

    // Once the firmware stage is done, the success page searches for the switch
    // and says what it reports (the warning where it kept its old firmware:
    // barWaitsAt90UntilTheReport).
    void successPageChecksTheSwitch()
    {
        const QString control = m_world->path(QStringLiteral("control.txt"));
        std::string error;
        QVERIFY(FakeHid::configure({}, {}, control.toStdString(), &error));
        qputenv("RT48PX_FAKEHID_CONTROL", control.toLocal8Bit());
        qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", "normal");
        toFirmwareStage();
        QTRY_COMPARE_WITH_TIMEOUT(m_wizard->page(), QLatin1String(Wizard::ResultPage), Search);
        qunsetenv("RT48PX_FAKEHID_CONTROL");
        QTRY_COMPARE_WITH_TIMEOUT(m_wizard->pageObject("check_txt")->property("text").toString(),
                                  QStringLiteral("The RT48PX now reports firmware V1.1.107 and micro-code V1.1.104."), Search);
        QVERIFY(m_wizard->pageObject("check_line")->property("visible").toBool());
        QVERIFY(!m_wizard->pageObject("check_link")->property("visible").toBool());
    }

    // A double click on Confirm acts once. The device found at stage 1 and gone
    // before Confirm: opening it fails. Restart resets the flow and keeps what
    // the search found, the versions and the bar's flag. Stage 1 again, Confirm
    // double-clicked: one 0xA0 command.
    void confirmFailureAndRestart()
    {
        Wizard &wizard = *m_wizard;
        for (QPoint at : {WizardWalker::StartButton, WizardWalker::CheckBox, WizardWalker::ConfirmButton, WizardWalker::ConfirmButton})
            wizard.click(at);
        QCOMPARE(wizard.page(), QLatin1String(Wizard::DevicePage));
        QObject *confirm = wizard.item("confirm_btn", "foot_load");
        QVERIFY(!confirm->property("enabled").toBool());

        const int device = addOldDevice();
        QTRY_VERIFY_WITH_TIMEOUT(confirm->property("enabled").toBool(), Search);
        FakeHid::setPresent(device, false);
        wizard.click(WizardWalker::ConfirmButton);
        verifyFailurePage(QStringLiteral("The RT48PX could not be opened; is it still connected?"));
        const QVariant fwver = wizard.get("fwver");
        QVERIFY(fwver != QStringLiteral("V0.0.000"));

        wizard.click(WizardWalker::ConfirmButton);   // Restart
        QCOMPARE(wizard.page(), QLatin1String(Wizard::InformationPage));
        QCOMPARE(wizard.setting("operate_device_info", "status").toInt(), 1);
        const QVariantMap expected{{"step", 0},           {"confirmEn", 0},        {"ischeck", false},
                                   {"firstSearch", 1},    {"usb_path", DevicePath}, {"upgrade4k", 1},
                                   {"upver", "V1.1.103"}, {"fwver", fwver},        {"processRun", 1}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QVariant value = wizard.get(qPrintable(it.key()));
            QVERIFY2(value == it.value(), qPrintable(it.key() + QStringLiteral(": ") + value.toString()));
        }

        FakeHid::setPresent(device, true);
        wizard.click(WizardWalker::CheckBox);
        wizard.click(WizardWalker::ConfirmButton);
        QTRY_VERIFY_WITH_TIMEOUT(confirm->property("enabled").toBool(), Search);
        wizard.click(WizardWalker::ConfirmButton);
        wizard.click(WizardWalker::ConfirmButton);
        QCOMPARE(wizard.page(), QLatin1String(Wizard::ProgressPage));
        QCOMPARE(FakeHid::device(device).commandsReceived(), 1);
    }

    // Both pages' support links open the support site; on the device page only the
    // address at the right end of the grey line does, not the sentence before it.
    // The failure page's other link opens the folder holding the log.
    void linksOpenTheirAddresses()
    {
        Wizard &wizard = *m_wizard;
        UrlCatcher catcher;
        const QUrl site(wizard.get("supportUrl").toString());
        wizard.call("prepareDevice");
        auto *line = qobject_cast<QQuickItem *>(wizard.pageObject("operate_link"));
        QVERIFY(line);
        wizard.click({60, line->height() / 2}, line);
        QVERIFY(catcher.opened.isEmpty());
        wizard.click({line->width() - 56, line->height() / 2}, line);
        wizard.call("errorUI");
        for (const char *id : {"link2", "log_link"}) {
            auto *link = qobject_cast<QQuickItem *>(wizard.pageObject(id));
            QVERIFY(link);
            wizard.click({link->width() / 2, link->height() / 2}, link);
        }
        QCOMPARE(catcher.opened, (QList<QUrl>{site, site, QUrl::fromLocalFile(QDir::tempPath())}));
    }
};

WIZARD_TEST_MAIN(tst_WizardFlow)
#include "tst_wizardflow.moc"
