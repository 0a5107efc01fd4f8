// The Windows program under Wine, end to end: the shipped layout copied into a
// prefix of its own (no path to the toolchain), the emulated devices reached
// through Wine's HID stack by the shipped libhidapi.dll, real clicks and
// screenshots on the test's Xvfb.
#include "../common/CoverWindow.h"
#include "../common/TextFiles.h"
#include "PictureMatch.h"
#include "WinePrefix.h"
#include "WizardWalker.h"

#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QtTest>

namespace {

const QString kProgramDir = QStringLiteral("C:/Upvane");
const QString kRecords = QStringLiteral("C:/records");

QString configText(const QString &firmware)
{
    return QStringLiteral("deviceFW_Ver=%1\nu_Code_Ver=V1.1.104\n").arg(firmware);
}

// How Wine's HID device paths name the device of the harness's `keys`: "vid_f0e1&pid_0048".
QString pathName(const QString &keys)
{
    const auto id = [&keys](const QString &key, const QString &fallback) {
        const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("\\b%1=([0-9a-f]+)").arg(key)).match(keys);
        return match.hasMatch() ? match.captured(1).rightJustified(4, QLatin1Char('0')) : fallback;
    };
    return QStringLiteral("vid_%1&pid_%2").arg(id(QStringLiteral("vid"), QStringLiteral("f0e1")),
                                                 id(QStringLiteral("pid"), QStringLiteral("0048")));
}

// The wizard's program folder in a Wine prefix of its own.
class WineWizard
{
public:
    explicit WineWizard(const QString &config = configText(QStringLiteral("V1.1.107")))
    {
        m_ready = wine.isValid() && wine.copyFolder(WinePrefix::installedLayout(), kProgramDir)
            && TextFiles::write(programDir() + QStringLiteral("/config.ini"), config)
            && QDir().mkpath(wine.unixPath(kRecords));
    }
    ~WineWizard()
    {
        wine.stop();
        process.waitForFinished(10000);
    }

    bool isReady() const { return m_ready; }
    QString programDir() const { return wine.unixPath(kProgramDir); }
    QString program() const { return kProgramDir + QStringLiteral("/upvane.exe"); }
    void start(const QProcessEnvironment &extra = {})
    {
        wine.prepare(process, program(), {}, extra);
        if (!m_devices.isEmpty()) {
            // The whole Wine session, wineserver included, under the device
            // harness (which lives as long as the wizard), the wizard only once
            // Wine's HID stack lists every device.
            QStringList harness{QStringLiteral(RT48PX_HIDRAW), QStringLiteral("--transcript"),
                                wine.unixPath(kRecords + QStringLiteral("/hid.txt"))};
            QStringList names;
            for (const QString &device : qAsConst(m_devices)) {
                harness << QStringLiteral("--device") << device;
                names << pathName(device);
            }
            harness << QStringLiteral("--") << QStringLiteral("sh") << QStringLiteral("-c")
                    << QStringLiteral("\"$0\" \"$1\" $2 && shift 2 && exec \"$0\" \"$@\"") << process.program()
                    << WinePrefix::windowsBuild() + QStringLiteral("/tests/wine/programs/hid-devices.exe")
                    << names.join(QLatin1Char(' ')) << process.arguments();
            process.setProgram(QStringLiteral("umockdev-wrapper"));
            process.setArguments(harness);
        }
        process.start();
    }
    QString output() { return QString::fromLocal8Bit(process.readAll()); }

    // Emulated devices (the harness's KEYS, in the order hidapi lists them:
    // Wine's by vendor and product id) as hidraw nodes that Wine's HID stack
    // brings to the shipped libhidapi.dll, with the test's cfgmgr32.dll beside
    // it for the calls Wine 8.0 lacks and winebus's hidraw bus switched on (it
    // tries SDL first and, without it, never starts that bus). The stand-in
    // upgrade programs in upgradefile/ record what they get. Returns the
    // environment for start().
    QProcessEnvironment withDevices(const QStringList &devices)
    {
        m_devices = devices;
        m_ready = m_ready
            && QFile::copy(WinePrefix::windowsBuild() + QStringLiteral("/standins/cfgmgr32.dll"),
                           programDir() + QStringLiteral("/cfgmgr32.dll"))
            && wine.run(QStringLiteral("reg"), {QStringLiteral("add"), QStringLiteral("HKLM\\System\\CurrentControlSet\\Services\\winebus"),
                                                QStringLiteral("/v"), QStringLiteral("Enable SDL"), QStringLiteral("/t"),
                                                QStringLiteral("REG_DWORD"), QStringLiteral("/d"), QStringLiteral("0"), QStringLiteral("/f")},
                        60000) == 0;
        wine.stop();   // the setting is read when the session starts
        QProcessEnvironment env;
        env.insert(QStringLiteral("WINEDLLOVERRIDES"), wine.environment().value(QStringLiteral("WINEDLLOVERRIDES"))
                       + QStringLiteral(";cfgmgr32=n;winedbg.exe=d"));
        env.insert(QStringLiteral("UPVANE_UPGRADER_RECORD"), kRecords + QStringLiteral("/upgrader.txt"));
        return env;
    }
    // The RT48PX's path as the search logged it ("\\?\hid#vid_f0e1&pid_0048#..."
    // up to its last "#"), or an empty text.
    QString loggedDevicePath() const
    {
        static const QRegularExpression found(QStringLiteral("RT48PX: f0e1:0048 .* path (\\S+)$"));
        const QStringList log = TextFiles::lines(wine.appDataDir() + QStringLiteral("/logs/upvane.log"));
        for (const QString &line : log) {
            const QRegularExpressionMatch match = found.match(line);
            if (match.hasMatch())
                return match.captured(1);
        }
        return {};
    }
    QStringList upgraderRecord() const
    {
        return TextFiles::lines(wine.unixPath(kRecords + QStringLiteral("/upgrader.txt")));
    }
    // The feature reports that reached the devices, in order (TextFiles::reports).
    QStringList reports() const { return TextFiles::reports(wine.unixPath(kRecords + QStringLiteral("/hid.txt"))); }

    WinePrefix wine;
    QProcess process;

private:
    bool m_ready = false;
    QStringList m_devices;
};

// The Linux rendering of the start page (from a demo run, docs/screenshots).
QImage linuxStartPage()
{
    return QImage(QStringLiteral(UPVANE_SOURCE_DIR "/docs/screenshots/upgrade/01-start.png")).convertToFormat(QImage::Format_RGB32);
}

// `shot` as it would look with a fault: the background picture missing, the
// layout shifted, the title in another font.
QImage withFault(const QImage &shot, const QString &fault)
{
    QImage image = shot;
    QPainter painter(&image);
    if (fault == QLatin1String("no picture")) {
        painter.fillRect(QRect(0, 32, 1000, 688), Qt::white);
        painter.drawImage(QRect(40, 360, 420, 264), shot, QRect(40, 360, 420, 264));
    } else if (fault == QLatin1String("shifted")) {
        painter.fillRect(image.rect(), Qt::black);
        painter.drawImage(QPoint(3, 3), shot);
    } else if (fault == QLatin1String("other font")) {
        // The two texts in a common fallback font, over the background from
        // further right (no white there).
        painter.drawImage(QRect(40, 440, 420, 110), shot, QRect(340, 440, 420, 110));
        painter.setPen(Qt::white);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(40);
        painter.setFont(font);
        painter.drawText(QRect(60, 452, 400, 60), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Upvane"));
        font.setPixelSize(20);
        painter.setFont(font);
        painter.drawText(QRect(60, 512, 400, 30), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("RT48PX  Version 1.1.107"));
    }
    return image;
}

}

class tst_WineWizard : public QObject
{
    Q_OBJECT

private:
    // What the stand-in upgrade programs got: the start from the application-data
    // folder with "-f", output discarded, and the answers.
    static void upgradeProgramsGotTheirStart(const WineWizard &wizard, bool microcodeStage)
    {
        // The search logged the RT48PX's path as Wine's HID stack names it; the
        // programs were answered with it.
        const QString devicePath = wizard.loggedDevicePath();
        QVERIFY2(devicePath.startsWith(QLatin1String("\\\\?\\hid#vid_f0e1&pid_0048#")), qPrintable(devicePath));
        const QStringList record = wizard.upgraderRecord();
        const QByteArray recordText = record.join(QLatin1Char('\n')).toUtf8();
        QCOMPARE(record.contains(QStringLiteral("started RT48PX_4K")), microcodeStage);
        QVERIFY2(record.contains(QStringLiteral("argument -f")), recordText);
        const QString appData = wizard.wine.appDataDir();
        const QString user = QFileInfo(QDir::cleanPath(appData + QStringLiteral("/../../../.."))).fileName();
        QVERIFY2(record.contains(QStringLiteral("folder C:\\users\\%1\\AppData\\Roaming\\VELM\\VELM Upvane").arg(user)),
                 recordText);
        QVERIFY2(record.contains(QStringLiteral("reply ") + devicePath + QLatin1Char('|')), recordText);
        QVERIFY(QFile::exists(appData + QStringLiteral("/upgrade.exe")));
    }

    // config.ini keeps its versions and has gained the policy defaults.
    static void configKeepsItsVersions(const WineWizard &wizard, const QString &firmware)
    {
        QSettings config(wizard.programDir() + QStringLiteral("/config.ini"), QSettings::IniFormat);
        QCOMPARE(config.value(QStringLiteral("deviceFW_Ver")).toString(), firmware);
        QCOMPARE(config.value(QStringLiteral("needUp4k")).toString(), QStringLiteral("1.1.104"));
        QCOMPARE(config.value(QStringLiteral("compareStatus")).toString(), QStringLiteral("true"));
    }

private slots:
    void initTestCase()
    {
        WINE_TESTS_REQUIRED();
    }

    void startPageLooksLikeOnLinux()
    {
        WineWizard wizard;
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        wizard.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QImage shot;
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000, &shot), qPrintable(wizard.output()));

        // Every DLL it runs on comes from its own folder or from Windows itself:
        // the copy of the shipped layout is complete.
        const QStringList dlls = wizard.wine.loadedDlls(QStringLiteral("upvane.exe"));
        QVERIFY(dlls.contains(wizard.programDir() + QStringLiteral("/Qt5Quick.dll")));
        QVERIFY(dlls.contains(wizard.programDir() + QStringLiteral("/platforms/qwindows.dll")));
        QCOMPARE(wizard.wine.dllsFromElsewhere(QStringLiteral("upvane.exe"), wizard.programDir()), QStringList());

        // The page settles (the font, the version text) before it is compared.
        const QImage reference = linuxStartPage();
        QVERIFY(!reference.isNull());
        walker.waitFor([&](const QImage &s) { return PictureMatch::startPageFaults(reference, s).isEmpty(); }, 10000, &shot);
        shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/wine-start-page.png"));
        QVERIFY2(PictureMatch::startPageFaults(reference, shot).isEmpty(),
                 qPrintable(PictureMatch::startPageFaults(reference, shot).join(QStringLiteral("; "))));

        // The comparison is strict enough to notice what would go wrong.
        for (const QString &fault : {QStringLiteral("no picture"), QStringLiteral("shifted"), QStringLiteral("other font")})
            QVERIFY2(!PictureMatch::startPageFaults(reference, withFault(shot, fault)).isEmpty(), qPrintable(fault));
    }

    void upgrade_data()
    {
        QTest::addColumn<QStringList>("devices");   // a foreign device, then the RT48PX
        QTest::addColumn<QString>("scenario4k");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<bool>("keys");   // Enter and Space alone instead of clicks

        // The feature reports, each cut to the length its id is declared with (as
        // Windows does with the 512-byte probe buffer) or padded to it (as hidapi
        // does): the probe goes to both devices; only the RT48PX answers it and
        // is sent the module selection and the information request.
        const QString probe = QStringLiteral("/dev/hidraw1 send 01 64 64");
        const QStringList search{"/dev/hidraw0 send 01 64 64", "/dev/hidraw0 get 81 33 33", probe,
                                 "/dev/hidraw1 get 81 33 33", "/dev/hidraw1 send 82 29 29", "/dev/hidraw1 get 02 6 6",
                                 "/dev/hidraw1 send 92 8 8", "/dev/hidraw1 get 12 80 80"};
        // Stages 1 and 3 identify the device the search accepted, and no other,
        // again; stage 1 then sends it the 0xA0 command; stage 2 confirms with the
        // short 0xFF probe (padded) and reads the confirmation before its program starts.
        const QStringList identify = search.mid(2);
        const QStringList command = identify + QStringList{"/dev/hidraw1 send a2 8 8"};
        const QStringList confirmation{probe, "/dev/hidraw1 get 22 7 7"};

        const QString foreign = QStringLiteral("kind=foreign,vid=f0e0,pid=1234,product=Keyboard,serial=KB-0001");
        const QStringList opening{"start", "information", "device-stage1", "progress-stage1"};
        QTest::newRow("micro-code stage")
            << QStringList{foreign, "microcode=V1R1103"} << "normal" << "V1.1.107"
            << opening + QStringList{"device-stage2", "progress-stage2", "device-stage3", "progress-stage3", "success"}
            << search + command + search + confirmation + search + identify << false;
        QTest::newRow("micro-code current, keys alone")
            << QStringList{foreign, "microcode=V1R1104"} << "normal" << "V7.7.777"
            << opening + QStringList{"progress-stage2", "progress-stage3", "success"} << search + identify << true;
        QTest::newRow("micro-code upgrade fails, Restart")
            << QStringList{foreign, "microcode=V1R1103"} << "fail2" << "V1.1.107"
            << opening + QStringList{"device-stage2", "progress-stage2", "failure-stage2", "information"}
            << search + command + search + confirmation << false;
    }

    void upgrade()
    {
        QFETCH(QStringList, devices);
        QFETCH(QString, scenario4k);
        QFETCH(QString, firmware);
        QFETCH(QStringList, pages);
        QFETCH(QStringList, reports);
        QFETCH(bool, keys);

        WineWizard wizard(configText(firmware));
        QProcessEnvironment env = wizard.withDevices(devices);
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX_4K"), scenario4k);
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX"), QStringLiteral("pause:300 3 pause:300 4 pause:300 1"));
        wizard.start(env);
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000), qPrintable(wizard.output()));

        WizardWalker::WalkOptions options;
        options.timeoutMs = 240000;
        options.keys = keys;
        options.shotsDir = QCoreApplication::applicationDirPath() + QStringLiteral("/wine-shots/")
            + QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression(QStringLiteral("[ ,]+")), QStringLiteral("-"));
        const QVector<WizardWalker::Visit> visits = walker.walk(options);
        QCOMPARE(WizardWalker::labels(visits), pages);

        // What the device saw, report by report.
        QCOMPARE(wizard.reports(), reports);

        const bool microcodeStage = pages.contains(QStringLiteral("device-stage2"));
        upgradeProgramsGotTheirStart(wizard, microcodeStage);
        configKeepsItsVersions(wizard, firmware);
        if (QTest::currentTestFailed())
            return;

        const QStringList record = wizard.upgraderRecord();
        const QByteArray recordText = record.join(QLatin1Char('\n')).toUtf8();
        if (visits.last().page == WizardWalker::Page::Success) {
            // The firmware stage's program was also asked "4" and got "0|";
            // the copy in the application-data folder is the firmware stage's.
            QVERIFY2(record.contains(QStringLiteral("reply 0|")), recordText);
            QCOMPARE(record.last(), QStringLiteral("finished"));
            QVERIFY(TextFiles::contents(wizard.wine.appDataDir() + QStringLiteral("/upgrade.exe"))
                    == TextFiles::contents(wizard.programDir() + QStringLiteral("/upgradefile/RT48PX.exe")));
            // Finish ends the program with exit code 0.
            QTRY_COMPARE_WITH_TIMEOUT(wizard.process.state(), QProcess::NotRunning, 30000);
            QCOMPARE(wizard.process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(wizard.process.exitCode(), 0);
        } else {
            // Restart led back to the information page with the box cleared;
            // the wizard runs on.
            QVERIFY2(record.contains(QStringLiteral("sent 2")), recordText);
            QCOMPARE(WizardWalker::confirmButton(walker.grab()), WizardWalker::Button::Disabled);
            QCOMPARE(wizard.process.state(), QProcess::Running);
        }
    }

    // At Windows' 150 % and 175 % on a 1920 x 1080 screen the whole panel,
    // title bar and footer, lies on the screen, drawn larger than at 100 %, and
    // its clicks reach their targets (Start, the check box, Confirm). A run of
    // its own on such a screen (ctest: tst_winewizard_scaled).
    void scaled_data()
    {
        if (QGuiApplication::primaryScreen()->size() != QSize(1920, 1080))
            QSKIP("needs a screen of 1920 x 1080");
        QTest::addColumn<int>("logPixels");
        QTest::newRow("150 %") << 144;
        QTest::newRow("175 %") << 168;
    }

    void scaled()
    {
        QFETCH(int, logPixels);
        WineWizard wizard;   // no devices: the device page's search goes on
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        QCOMPARE(wizard.wine.run(QStringLiteral("reg"), {QStringLiteral("add"), QStringLiteral("HKCU\\Control Panel\\Desktop"),
                                                         QStringLiteral("/v"), QStringLiteral("LogPixels"), QStringLiteral("/t"),
                                                         QStringLiteral("REG_DWORD"), QStringLiteral("/d"),
                                                         QString::number(logPixels), QStringLiteral("/f")}, 60000),
                 0);
        wizard.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitFor([&](const QImage &) { return walker.findPanel() && walker.windowRect().width() > 1200; }, 60000),
                 qPrintable(wizard.output()));
        QVERIFY(walker.waitForPage(WizardWalker::Page::Start, 30000));
        const QString tag = QString::fromLatin1(QTest::currentDataTag()).remove(QStringLiteral(" %"));
        walker.grabScreen().save(QCoreApplication::applicationDirPath() + QStringLiteral("/wine-scaled-%1.png").arg(tag));

        const QRect panel = walker.windowRect();
        QVERIFY2(QRect(0, 0, 1920, 1080).contains(panel), qPrintable(QStringLiteral("panel %1,%2 %3x%4")
                                                                      .arg(panel.x()).arg(panel.y()).arg(panel.width()).arg(panel.height())));
        QVERIFY(qAbs(panel.height() - 1080) <= 4);   // as large as the screen allows
        QVERIFY(walker.click(WizardWalker::StartButton));
        QVERIFY(walker.waitForPage(WizardWalker::Page::Information, 10000));
        QVERIFY(walker.click(WizardWalker::CheckBox));
        QVERIFY(walker.waitFor([](const QImage &s) { return WizardWalker::confirmButton(s) == WizardWalker::Button::Enabled; }, 10000));
        QVERIFY(walker.click(WizardWalker::ConfirmButton));
        QVERIFY(walker.waitForPage(WizardWalker::Page::Device, 10000));
    }

    void secondStartBringsTheWindowBack()
    {
        WineWizard wizard;
        QVERIFY2(wizard.isReady(), qPrintable(wizard.wine.error()));
        wizard.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000), qPrintable(wizard.output()));

        CoverWindow cover;
        QVERIFY(cover.coverScreen());
        QVERIFY(walker.waitFor([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Unknown; }, 10000));

        // The second start finds the first through its named pipe, hands over
        // and exits with code 0; the first comes to the front.
        QProcess later;
        wizard.wine.prepare(later, wizard.program(), {QStringLiteral("again")});
        later.start();
        QVERIFY(later.waitForFinished(60000));
        QCOMPARE(later.exitStatus(), QProcess::NormalExit);
        QCOMPARE(later.exitCode(), 0);
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 15000), "the running wizard did not come to the front");
        QCOMPARE(wizard.process.state(), QProcess::Running);
        QCOMPARE(wizard.wine.processes(QStringLiteral("upvane.exe")).size(), 1);
    }
};

QTEST_MAIN(tst_WineWizard)
#include "tst_winewizard.moc"
