// The Windows program under Wine, end to end: the shipped layout copied into a
// prefix of its own (no path to the toolchain), the emulated devices reached
// through Wine's HID stack by the shipped libhidapi.dll, real clicks and
// screenshots on the test's Xvfb.
#include "../common/TextFiles.h"
#include "WineWizard.h"
#include "WizardWalker.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QtTest>

namespace {

// What differs between the start page `shot` and the `reference`, allowing for
// another platform's text rendering (anti-aliased edges) but not for a missing
// picture, another font or a shifted layout: an empty list when they look
// alike. Fewer than 1 % of the pixels may differ by more than a tenth of the
// colour range, and the white ink of the logo, the two texts and the Start
// button must start within 2 px of the reference's and be as large within 2 px
// or 2.5 % (glyph advances round differently), whichever is more.
QStringList startPageFaults(const QImage &reference, const QImage &shot)
{
    if (reference.size() != shot.size())
        return {QStringLiteral("size %1x%2").arg(shot.width()).arg(shot.height())};
    const auto near = [](QRgb a, QRgb b, int tolerance) {
        return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
    };
    QStringList faults;
    int differing = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            differing += !near(reference.pixel(x, y), shot.pixel(x, y), 25);
    if (differing > shot.width() * shot.height() / 100)
        faults << QStringLiteral("%1 pixels differ").arg(differing);
    const auto inkBox = [&near](const QImage &image, const QRect &area) {
        QRect box;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                box |= near(image.pixel(x, y), qRgb(228, 228, 228), 27) ? QRect(x, y, 1, 1) : QRect();
        return box;
    };
    // Each with room around it (the background has no white left of x 500).
    const QPair<const char *, QRect> areas[] = {{"logo", {40, 360, 260, 72}}, {"title", {40, 440, 420, 72}},
                                                {"version line", {40, 512, 420, 38}}, {"Start button", {40, 560, 200, 64}}};
    for (const auto &area : areas) {
        const QRect want = inkBox(reference, area.second), got = inkBox(shot, area.second);
        const auto sizeNear = [](int a, int b) { return qAbs(a - b) <= qMax(2, b / 40); };
        if (got.isNull() || qAbs(got.left() - want.left()) > 2 || qAbs(got.top() - want.top()) > 2
            || !sizeNear(got.width(), want.width()) || !sizeNear(got.height(), want.height()))
            faults << QStringLiteral("%1 at %2,%3 %4x%5").arg(QLatin1String(area.first)).arg(got.x()).arg(got.y()).arg(got.width()).arg(got.height());
    }
    return faults;
}
}

// A run: the devices (a foreign one, then the RT48PX), the micro-code program's
// scenario, the firmware it leaves, the pages seen, the feature reports at the
// devices, and whether Enter and Space alone drive it instead of clicks.
struct UpgradeRow { QStringList devices; QString scenario4k, firmware; QStringList pages, reports; bool keys; };
Q_DECLARE_METATYPE(UpgradeRow)

class tst_WineWizard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        WINE_TESTS_REQUIRED();
    }

    void startPageLooksLikeOnLinux()
    {
        WineWizard wizard;
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(wizard.startAtStartPage(walker), qPrintable(wizard.failure()));

        // The page settles (the font, the version text) before it is compared.
        // The Linux rendering of the start page (from a demo run, docs/screenshots).
        const QImage reference =
            QImage(QStringLiteral(UPVANE_SOURCE_DIR "/docs/screenshots/upgrade/01-start.png")).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!reference.isNull());
        QImage shot;
        walker.waitFor([&](const QImage &s) { return startPageFaults(reference, s).isEmpty(); }, 10000, &shot);
        shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/wine-start-page.png"));
        QVERIFY2(startPageFaults(reference, shot).isEmpty(),
                 qPrintable(startPageFaults(reference, shot).join(QStringLiteral("; "))));

    }

    void upgrade_data()
    {
        QTest::addColumn<UpgradeRow>("row");

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
            << UpgradeRow{QStringList{foreign, "microcode=V1R1103"}, "normal", "V1.1.107", opening + QStringList{"device-stage2", "progress-stage2", "device-stage3", "progress-stage3", "success"}, search + command + search + confirmation + search + identify, false};
        QTest::newRow("micro-code current, keys alone")
            << UpgradeRow{QStringList{foreign, "microcode=V1R1104"}, "normal", "V7.7.777", opening + QStringList{"progress-stage2", "progress-stage3", "success"}, search + identify, true};
        QTest::newRow("micro-code upgrade fails, Restart")
            << UpgradeRow{QStringList{foreign, "microcode=V1R1103"}, "fail2", "V1.1.107", opening + QStringList{"device-stage2", "progress-stage2", "failure-stage2", "information"}, search + command + search + confirmation, false};
    }

    void upgrade()
    {
        QFETCH(UpgradeRow, row);

        WineWizard wizard(QStringLiteral("C:/Upvane"), row.firmware);
        wizard.useDevices(row.devices);
        QProcessEnvironment env;
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX_4K"), row.scenario4k);
        env.insert(QStringLiteral("UPVANE_UPGRADER_SCENARIO_RT48PX"), QStringLiteral("pause:300 3 pause:300 4 pause:300 1"));
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(wizard.startAtStartPage(walker, env), qPrintable(wizard.failure()));

        WizardWalker::WalkOptions options;
        options.timeoutMs = 240000;
        options.keys = row.keys;
        options.shotsDir = QCoreApplication::applicationDirPath() + QStringLiteral("/wine-shots/")
            + QString::fromLatin1(QTest::currentDataTag()).replace(QRegularExpression(QStringLiteral("[ ,]+")), QStringLiteral("-"));
        const QVector<WizardWalker::Visit> visits = walker.walk(options);
        QCOMPARE(WizardWalker::labels(visits), row.pages);

        // What the device saw, report by report.
        QCOMPARE(TextFiles::reports(wizard.recordPath(QStringLiteral("hid.txt"))), row.reports);

        // What the stand-in upgrade programs got: the start from the application-data
        // folder with "-f", output discarded, and the answers. The search logged the
        // RT48PX's path as Wine's HID stack names it ("\\?\hid#vid_f0e1&pid_0048#..."
        // up to its last "#"); the programs were answered with it.
        const QString devicePath = QRegularExpression(QStringLiteral("RT48PX: f0e1:0048 .* path (\\S+)\r?$"), QRegularExpression::MultilineOption)
                                       .match(wizard.log()).captured(1);
        QVERIFY2(devicePath.startsWith(QLatin1String("\\\\?\\hid#vid_f0e1&pid_0048#")), qPrintable(devicePath));
        const QStringList record = wizard.record();
        const QByteArray recordText = record.join(QLatin1Char('\n')).toUtf8();
        QCOMPARE(record.contains(QStringLiteral("started RT48PX_4K")), row.pages.contains(QStringLiteral("device-stage2")));
        QVERIFY2(record.contains(QStringLiteral("argument -f")), recordText);
        const QString appData = wizard.wine.appDataDir();
        const QString user = QFileInfo(QDir::cleanPath(appData + QStringLiteral("/../../../.."))).fileName();
        QVERIFY2(record.contains(QStringLiteral("folder C:\\users\\%1\\AppData\\Roaming\\VELM\\VELM Upvane").arg(user)),
                 recordText);
        QVERIFY2(record.contains(QStringLiteral("reply ") + devicePath + QLatin1Char('|')), recordText);
        QVERIFY(QFile::exists(appData + QStringLiteral("/upgrade.exe")));

        // config.ini keeps its versions and has gained the policy defaults.
        QSettings config(wizard.programDir() + QStringLiteral("/config.ini"), QSettings::IniFormat);
        QCOMPARE(config.value(QStringLiteral("deviceFW_Ver")).toString(), row.firmware);
        QCOMPARE(config.value(QStringLiteral("needUp4k")).toString(), QStringLiteral("1.1.104"));
        QCOMPARE(config.value(QStringLiteral("compareStatus")).toString(), QStringLiteral("true"));
        if (visits.last().page == WizardWalker::Page::Success) {
            // The row.firmware stage's program was also asked "4" and got "0|";
            // the copy in the application-data folder is the row.firmware stage's.
            QVERIFY2(record.contains(QStringLiteral("reply 0|")), recordText);
            QCOMPARE(record.last(), QStringLiteral("finished"));
            QVERIFY(TextFiles::contents(appData + QStringLiteral("/upgrade.exe"))
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
        QCOMPARE(wizard.wine.addDword(QStringLiteral("HKCU\\Control Panel\\Desktop"), QStringLiteral("LogPixels"), logPixels), 0);
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
        QVERIFY(walker.walkUntil([](const QImage &s) { return WizardWalker::page(s) == WizardWalker::Page::Device; }, 30000));
    }
};

QTEST_MAIN(tst_WineWizard)
#include "tst_winewizard.moc"
