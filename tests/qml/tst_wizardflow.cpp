// The wizard's flow through the real main.qml: the real HidSocket over the
// stand-in hidapi library, the real io, process and event objects, and the
// stand-in upgrade programs beside this test program (its program folder).
// The wizard's own timers set the pace: 2 s searches, 6 s pause after the
// micro-code stage.
#include "FakeHid.h"
#include "UtilityPeer.h"
#include "Wizard.h"
#include "WizardTestEnvironment.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

constexpr int Search = 10000;   // a search every 2 s, a bar of one or two seconds
constexpr int Stage = 30000;    // a whole stage, utility and 6 s pause included

const QString DevicePath = QStringLiteral("/fake/hidraw0");

// Micro-code versions below and equal to the "needUp4k" of the test's config.ini.
const char *const OldMicrocode = "V1R1103";
const char *const CurrentMicrocode = "V1R1104";

int addDevice(const char *microcode)
{
    Rt48px::DeviceConfig config;
    config.microcode = microcode;
    return FakeHid::addDevice(config);
}

// "hex:" sends a status with nothing in it; "hex:78" the letter x.
void setScenario(const char *variant, const QByteArray &scenario)
{
    qputenv(QByteArray("UPVANE_UPGRADER_SCENARIO_") + variant, scenario);
}

}

class tst_WizardFlow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void checkBoxAndConfirmToggleTogether();
    void microcodeStageToSuccess();
    void skipsTheMicrocodeStage();
    void barWaitsAt90UntilTheReport();
    void failureReports_data();
    void failureReports();
    void answersTheUtilitysQuestions();
    void failingCallReachesTheFailurePage_data();
    void failingCallReachesTheFailurePage();
    void restartResetsTheWizard();
    void supportLinksOpenTheSupportSite();

private:
    std::unique_ptr<Wizard> start();
    // Everything main.qml sets when it reaches the failure page.
    static void verifyFailurePage(const Wizard &wizard);
    QStringList record() const;
    // A wizard whose stage-3 device was found: the firmware stage starts with
    // upgrade_device(), as its Confirm does.
    std::unique_ptr<Wizard> atFirmwareStage();

    std::unique_ptr<QTemporaryDir> m_records;
};

void tst_WizardFlow::initTestCase()
{
    Wizard::registerTypes();
    QVERIFY2(QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/upgradefile/RT48PX.exe")),
             "the stand-in upgrade programs belong beside the test program");
    QSettings config(QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini"), QSettings::IniFormat);
    config.clear();
    config.setValue(QStringLiteral("deviceFW_Ver"), QStringLiteral("1.1.107"));
    config.setValue(QStringLiteral("u_Code_Ver"), QStringLiteral("1.1.104"));
    config.setValue(QStringLiteral("needUp4k"), QStringLiteral("1.1.104"));
    config.setValue(QStringLiteral("compareStatus"), QStringLiteral("true"));
}

void tst_WizardFlow::init()
{
    FakeHid::reset();
    m_records = std::make_unique<QTemporaryDir>();
    QVERIFY(m_records->isValid());
    qputenv("UPVANE_UPGRADER_RECORD", QFile::encodeName(m_records->filePath(QStringLiteral("record"))));
    setScenario("RT48PX_4K", "normal");
    setScenario("RT48PX", "normal");
}

std::unique_ptr<Wizard> tst_WizardFlow::start()
{
    auto wizard = std::make_unique<Wizard>();
    if (!wizard->window || !QTest::qWaitForWindowExposed(wizard->window))
        return nullptr;
    return wizard;
}

QStringList tst_WizardFlow::record() const
{
    QFile file(m_records->filePath(QStringLiteral("record")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void tst_WizardFlow::verifyFailurePage(const Wizard &wizard)
{
    QCOMPARE(wizard.page(), QLatin1String(Wizard::ResultPage));
    QCOMPARE(wizard.integer("upSuccess"), 0);
    QCOMPARE(wizard.integer("closebtn"), 1);
    QCOMPARE(wizard.integer("confirmEn"), 1);
    QCOMPARE(wizard.setting("foot_control_info", "btn").toString(), QStringLiteral("Restart"));
    QCOMPARE(wizard.pageObject("fails_rec")->property("visible").toBool(), true);
}

std::unique_ptr<Wizard> tst_WizardFlow::atFirmwareStage()
{
    auto wizard = start();
    if (!wizard)
        return nullptr;
    wizard->set("operate_device_info", QVariantMap{{"status", 3}, {"msg", "Firmware update"}});
    wizard->set("usb_path", DevicePath);
    wizard->set("step", 3);
    wizard->call("upgrade_device");
    return wizard;
}

void tst_WizardFlow::checkBoxAndConfirmToggleTogether()
{
    auto wizard = start();
    QVERIFY(wizard);
    QVERIFY(wizard->item("main_rec")->property("visible").toBool());
    wizard->click(Wizard::StartButton);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::InformationPage));
    QVERIFY(!wizard->item("main_rec")->property("visible").toBool());
    QTRY_VERIFY(wizard->footerObject("check_img"));

    QObject *confirm = wizard->footerObject("confirm_btn");
    QCOMPARE(confirm->property("enabled").toBool(), false);
    for (bool ticked : {true, false, true}) {
        wizard->click(Wizard::CheckBox);
        QCOMPARE(wizard->get("ischeck").toBool(), ticked);
        QCOMPARE(wizard->integer("confirmEn"), ticked ? 1 : 0);
        QCOMPARE(confirm->property("enabled").toBool(), ticked);
    }

    // A double click on Confirm leads to the device page once: the second click
    // finds the button there disabled, not the device page's action.
    wizard->click(Wizard::ConfirmButton);
    wizard->click(Wizard::ConfirmButton);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::DevicePage));
    QCOMPARE(wizard->integer("searchRun"), 1);
    QCOMPARE(wizard->integer("confirmEn"), 0);
    QCOMPARE(confirm->property("enabled").toBool(), false);
    QVERIFY2(wizard->warnings.isEmpty(), qPrintable(wizard->warnings.join(QLatin1Char('\n'))));
}

void tst_WizardFlow::microcodeStageToSuccess()
{
    const int device = addDevice(OldMicrocode);
    auto wizard = start();
    QVERIFY(wizard);
    PageLog log(wizard->window);

    wizard->click(Wizard::StartButton);
    QTRY_VERIFY(wizard->footerObject("check_img"));
    wizard->click(Wizard::CheckBox);
    wizard->click(Wizard::ConfirmButton);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::DevicePage));
    QCOMPARE(wizard->integer("searchRun"), 1);
    QCOMPARE(wizard->integer("confirmEn"), 0);
    QCOMPARE(wizard->footerObject("check_img")->property("visible").toBool(), false);

    // Stage 1: the search finds the device; Confirm sends the 0xA0 command once,
    // however often it is clicked.
    QTRY_COMPARE_WITH_TIMEOUT(wizard->integer("confirmEn"), 1, Search);
    QCOMPARE(wizard->integer("searchRun"), 0);
    QCOMPARE(wizard->integer("step"), 1);
    QCOMPARE(wizard->integer("upgrade4k"), 1);
    QCOMPARE(wizard->get("usb_path").toString(), DevicePath);
    QCOMPARE(wizard->get("upver").toString(), QStringLiteral("V1.1.103"));
    QCOMPARE(wizard->integer("firstSearch"), 0);
    wizard->click(Wizard::ConfirmButton);
    wizard->click(Wizard::ConfirmButton);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));
    QCOMPARE(FakeHid::device(device).commandsReceived(), 1);
    QTRY_COMPARE(wizard->integer("closebtn"), 0);

    // Stage 2: the device page again; the micro-code program runs, asks for the
    // device and reports success; after the pause the bar completes.
    QTRY_COMPARE_WITH_TIMEOUT(wizard->page(), QLatin1String(Wizard::DevicePage), Search);
    QCOMPARE(wizard->setting("operate_device_info", "status").toInt(), 2);
    QCOMPARE(wizard->integer("closebtn"), 1);
    FakeHid::device(device).reset();   // plugged in again with the pushbutton held
    QTRY_COMPARE_WITH_TIMEOUT(wizard->integer("confirmEn"), 1, Search);
    QCOMPARE(wizard->integer("step"), 2);
    wizard->click(Wizard::ConfirmButton);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));
    QTRY_VERIFY(record().contains(QStringLiteral("started RT48PX_4K")));
    QTRY_VERIFY(record().contains(QStringLiteral("reply ") + DevicePath + QStringLiteral("|")));

    // Stage 3: the firmware program, then the success page.
    QTRY_COMPARE_WITH_TIMEOUT(wizard->page(), QLatin1String(Wizard::DevicePage), Stage);
    QCOMPARE(wizard->setting("operate_device_info", "status").toInt(), 3);
    QTRY_COMPARE_WITH_TIMEOUT(wizard->integer("confirmEn"), 1, Search);
    QCOMPARE(wizard->integer("step"), 3);
    wizard->click(Wizard::ConfirmButton);
    QTRY_COMPARE_WITH_TIMEOUT(wizard->page(), QLatin1String(Wizard::ResultPage), Stage);
    QCOMPARE(wizard->integer("upSuccess"), 1);
    QCOMPARE(wizard->setting("foot_control_info", "btn").toString(), QStringLiteral("Finish"));
    QVERIFY(record().contains(QStringLiteral("started RT48PX")));
    QVERIFY(record().contains(QStringLiteral("argument -f")));

    const QStringList expected = {Wizard::InformationPage, Wizard::DevicePage, Wizard::ProgressPage,
                                  Wizard::DevicePage, Wizard::ProgressPage, Wizard::DevicePage,
                                  Wizard::ProgressPage, Wizard::ResultPage};
    QCOMPARE(log.pages, expected);

    // Finish ends the program.
    QCOMPARE(wizard->quitSpy->count(), 0);
    wizard->click(Wizard::ConfirmButton);
    QCOMPARE(wizard->quitSpy->count(), 1);
    QVERIFY2(wizard->warnings.isEmpty(), qPrintable(wizard->warnings.join(QLatin1Char('\n'))));
}

void tst_WizardFlow::skipsTheMicrocodeStage()
{
    const int device = addDevice(CurrentMicrocode);
    auto wizard = start();
    QVERIFY(wizard);
    PageLog log(wizard->window);

    wizard->click(Wizard::StartButton);
    QTRY_VERIFY(wizard->footerObject("check_img"));
    wizard->click(Wizard::CheckBox);
    wizard->click(Wizard::ConfirmButton);
    QTRY_COMPARE_WITH_TIMEOUT(wizard->integer("confirmEn"), 1, Search);
    QCOMPARE(wizard->integer("upgrade4k"), 0);
    QCOMPARE(wizard->integer("step"), 4);
    wizard->click(Wizard::ConfirmButton);

    // Stages 2 and 3 pass as progress pages only; then the firmware program runs.
    QTRY_COMPARE_WITH_TIMEOUT(wizard->setting("operate_device_info", "status").toInt(), 2, Search);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));
    QCOMPARE(wizard->setting("process_interface_info", "runtime").toInt(), 20);
    QTRY_COMPARE_WITH_TIMEOUT(wizard->setting("operate_device_info", "status").toInt(), 3, Search);
    QCOMPARE(wizard->integer("step"), 3);
    QTRY_COMPARE_WITH_TIMEOUT(wizard->page(), QLatin1String(Wizard::ResultPage), Stage);
    QCOMPARE(wizard->integer("upSuccess"), 1);

    const QStringList expected = {Wizard::InformationPage, Wizard::DevicePage, Wizard::ProgressPage,
                                  Wizard::ProgressPage, Wizard::ProgressPage, Wizard::ResultPage};
    QCOMPARE(log.pages, expected);
    QCOMPARE(FakeHid::device(device).commandsReceived(), 0);
    QVERIFY(!record().contains(QStringLiteral("started RT48PX_4K")));
    QVERIFY(record().contains(QStringLiteral("started RT48PX")));
    QVERIFY2(wizard->warnings.isEmpty(), qPrintable(wizard->warnings.join(QLatin1Char('\n'))));
}

void tst_WizardFlow::barWaitsAt90UntilTheReport()
{
    // The firmware program leaves at once; the test speaks for it.
    setScenario("RT48PX", "quiet");
    auto wizard = atFirmwareStage();
    QVERIFY(wizard);
    UtilityPeer peer;
    QVERIFY(peer.connectToTool());

    QTRY_COMPARE_WITH_TIMEOUT(wizard->progress(), 90, Search);
    QCOMPARE(wizard->integer("processRun"), 0);
    QCOMPARE(wizard->pageObject("process_txt")->property("text").toString(), QStringLiteral("90 %"));

    // The close button shows but does not react while the bar stands.
    QCOMPARE(wizard->integer("closebtn"), 0);
    QCOMPARE(wizard->headerObject("closeButton")->property("enabled").toBool(), false);
    wizard->click(Wizard::CloseButton);
    QCOMPARE(wizard->quitSpy->count(), 0);

    // A question and its answer take their time; the bar stays at 90.
    peer.send("3");
    QTRY_COMPARE(peer.replies().size(), 1);
    QCOMPARE(peer.replies().constFirst(), DevicePath.toUtf8() + "|");
    QCOMPARE(wizard->progress(), 90);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));

    // The success report lets the bar complete, then the success page follows.
    peer.send("1");
    QTRY_COMPARE_WITH_TIMEOUT(wizard->progress(), 100, Search);
    QCOMPARE(wizard->pageObject("process_txt")->property("text").toString(), QStringLiteral("100 %"));
    QTRY_COMPARE_WITH_TIMEOUT(wizard->page(), QLatin1String(Wizard::ResultPage), Search);
    QCOMPARE(wizard->integer("upSuccess"), 1);
    QCOMPARE(wizard->integer("closebtn"), 1);
    QCOMPARE(wizard->pageObject("success_rec")->property("visible").toBool(), true);
    wizard->click(Wizard::CloseButton);
    QCOMPARE(wizard->quitSpy->count(), 1);
}

void tst_WizardFlow::failureReports_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<bool>("fails");
    QTest::newRow("code 0") << QByteArray("0") << true;
    QTest::newRow("code 2 after the device question") << QByteArray("3 2") << true;
    QTest::newRow("empty code") << QByteArray("hex:") << true;
    QTest::newRow("code that is no number") << QByteArray("hex:78") << false;
    QTest::newRow("unknown code") << QByteArray("7") << false;
}

void tst_WizardFlow::failureReports()
{
    QFETCH(QByteArray, scenario);
    QFETCH(bool, fails);
    setScenario("RT48PX", scenario + " hang");
    auto wizard = atFirmwareStage();
    QVERIFY(wizard);
    QSignalSpy reports(&wizard->event, &UpgradeEventFilter::statusChanged);
    const int expectedReports = scenario.count(' ') + 1;
    QTRY_COMPARE_WITH_TIMEOUT(reports.count(), expectedReports, Search);

    if (fails) {
        QTRY_COMPARE(wizard->page(), QLatin1String(Wizard::ResultPage));
        verifyFailurePage(*wizard);
    } else {
        QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));
        QTRY_COMPARE_WITH_TIMEOUT(wizard->progress(), 90, Search);
        QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));
    }
    QVERIFY2(wizard->warnings.isEmpty(), qPrintable(wizard->warnings.join(QLatin1Char('\n'))));
}

void tst_WizardFlow::answersTheUtilitysQuestions()
{
    // Code 3 asks for the device and gets its path, code 4 gets "0".
    setScenario("RT48PX", "3 4 hang");
    auto wizard = atFirmwareStage();
    QVERIFY(wizard);
    QTRY_VERIFY_WITH_TIMEOUT(record().contains(QStringLiteral("hanging")), Search);
    const QStringList replies = record().filter(QRegularExpression(QStringLiteral("^reply ")));
    QCOMPARE(replies, QStringList({QStringLiteral("reply ") + DevicePath + QStringLiteral("|"),
                                   QStringLiteral("reply 0|")}));
    QCOMPARE(wizard->page(), QLatin1String(Wizard::ProgressPage));
}

namespace {

// Takes the addresses the wizard hands to the desktop instead of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

// A launcher that cannot start anything: the real one fails only for a file
// that the copy just made, which nothing here can take away in between.
class RefusingLauncher : public QObject
{
    Q_OBJECT

public:
    Q_INVOKABLE bool openProcess(const QString &, int) { return false; }
};

}

void tst_WizardFlow::failingCallReachesTheFailurePage_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("open") << QStringLiteral("open");
    QTest::newRow("0xFF confirmation") << QStringLiteral("0xff");
    QTest::newRow("copy") << QStringLiteral("copy");
    QTest::newRow("start") << QStringLiteral("start");
}

void tst_WizardFlow::failingCallReachesTheFailurePage()
{
    QFETCH(QString, failing);
    const int device = addDevice(OldMicrocode);
    auto wizard = start();
    QVERIFY(wizard);
    RefusingLauncher refusing;
    const QString copy = wizard->io.get_userappdata_path() + QStringLiteral("/upgrade.exe");

    if (failing == QLatin1String("open")) {
        // Found by the search, gone before Confirm.
        wizard->call("searchDevice");
        QCOMPARE(wizard->integer("step"), 1);
        FakeHid::setPresent(device, false);
        wizard->call("cleanDevice");
    } else if (failing == QLatin1String("0xff")) {
        wizard->set("firstSearch", 0);
        wizard->set("step", 1);
        FakeHid::device(device).config().failStep = Rt48px::Step::Confirmation;
        FakeHid::device(device).config().fault = Rt48px::Fault::Empty;
        wizard->call("searchDevice");
        QCOMPARE(wizard->integer("step"), 2);
        wizard->call("upgrade_4k");
    } else {
        if (failing == QLatin1String("copy")) {
            // A folder where the copy belongs cannot be replaced by the copy.
            QFile::remove(copy);
            QVERIFY(QDir().mkpath(copy + QStringLiteral("/keep")));
        } else {
            wizard->engine.rootContext()->setContextProperty(QStringLiteral("process"), &refusing);
        }
        wizard->set("step", 3);
        wizard->call("upgrade_device");
    }
    verifyFailurePage(*wizard);
    QVERIFY(!record().contains(QStringLiteral("started RT48PX")));
    QVERIFY(!record().contains(QStringLiteral("started RT48PX_4K")));
    if (failing == QLatin1String("copy"))
        QVERIFY(QDir(copy).removeRecursively());
}

void tst_WizardFlow::restartResetsTheWizard()
{
    const int device = addDevice(OldMicrocode);
    auto wizard = start();
    QVERIFY(wizard);
    wizard->click(Wizard::StartButton);
    QTRY_VERIFY(wizard->footerObject("check_img"));
    wizard->click(Wizard::CheckBox);
    wizard->click(Wizard::ConfirmButton);
    QTRY_COMPARE_WITH_TIMEOUT(wizard->integer("confirmEn"), 1, Search);
    FakeHid::setPresent(device, false);
    wizard->click(Wizard::ConfirmButton);
    verifyFailurePage(*wizard);
    QCOMPARE(wizard->integer("processRun"), 1);
    const QString upver = wizard->get("upver").toString();
    const QString fwver = wizard->get("fwver").toString();
    QVERIFY(upver != QLatin1String("V0.0.000"));

    wizard->click(Wizard::ConfirmButton);   // Restart
    QCOMPARE(wizard->page(), QLatin1String(Wizard::InformationPage));
    QCOMPARE(wizard->integer("step"), 0);
    QCOMPARE(wizard->integer("confirmEn"), 0);
    QCOMPARE(wizard->get("ischeck").toBool(), false);
    QCOMPARE(wizard->integer("firstSearch"), 1);
    QCOMPARE(wizard->integer("closebtn"), 1);
    QCOMPARE(wizard->setting("foot_control_info", "check").toInt(), 1);
    QCOMPARE(wizard->setting("foot_control_info", "btn").toString(), QStringLiteral("Confirm"));
    QCOMPARE(wizard->setting("operate_device_info", "status").toInt(), 1);
    QCOMPARE(wizard->footerObject("check_img")->property("source").toUrl().fileName(),
             QStringLiteral("OptionControl.png"));
    // Kept: what the last search found, the versions and the bar's flag.
    QCOMPARE(wizard->get("usb_path").toString(), DevicePath);
    QCOMPARE(wizard->integer("upgrade4k"), 1);
    QCOMPARE(wizard->get("upver").toString(), upver);
    QCOMPARE(wizard->get("fwver").toString(), fwver);
    QCOMPARE(wizard->integer("processRun"), 1);

    // The next search counts as the first again; a current device now skips the
    // micro-code stage.
    FakeHid::device(device).config().microcode = CurrentMicrocode;
    FakeHid::setPresent(device, true);
    wizard->click(Wizard::CheckBox);
    wizard->click(Wizard::ConfirmButton);
    QCOMPARE(wizard->page(), QLatin1String(Wizard::DevicePage));
    QTRY_COMPARE_WITH_TIMEOUT(wizard->integer("confirmEn"), 1, Search);
    QCOMPARE(wizard->integer("step"), 4);
    QCOMPARE(wizard->integer("firstSearch"), 0);
}

void tst_WizardFlow::supportLinksOpenTheSupportSite()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    auto wizard = start();
    QVERIFY(wizard);
    const QUrl site(wizard->get("supportUrl").toString());
    QVERIFY(site.isValid());

    // The device page: the address at the right end of the grey line opens the
    // site; the sentence before it does nothing.
    wizard->call("prepareDevice");
    auto *line = qobject_cast<QQuickItem *>(wizard->pageObject("operate_link"));
    QVERIFY(line);
    const QPointF middle(line->width() / 2, line->height() / 2);
    const QList<QQuickItem *> texts = line->childItems();
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts[0]->x() + texts[0]->width() < texts[1]->x(), "the address runs into the sentence");
    QTest::mouseClick(wizard->window, Qt::LeftButton, {}, line->mapToScene(QPointF(60, middle.y())).toPoint());
    QVERIFY(catcher.opened.isEmpty());
    QTest::mouseClick(wizard->window, Qt::LeftButton, {},
                      line->mapToScene(QPointF(line->width() - 26 - 30, middle.y())).toPoint());
    QCOMPARE(catcher.opened, QList<QUrl>({site}));

    // The failure page: the address after the sentence.
    wizard->call("errorUI");
    QObject *link = wizard->pageObject("link2");
    QVERIFY(link);
    QVERIFY(link->property("text").toString().contains(site.toString()));
    wizard->clickItem(link);
    QCOMPARE(catcher.opened, QList<QUrl>({site, site}));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

int main(int argc, char *argv[])
{
    WizardTestEnvironment environment;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    QApplication app(argc, argv);
    if (!environment.isValid())
        return 1;
    tst_WizardFlow test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_wizardflow.moc"
