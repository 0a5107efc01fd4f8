// Every page state of the wizard as the screen shows it: grabbed from the real
// window into PNGs under the build folder (screens/) and told apart as a user
// would (the walker's page classifier): the page, the step highlighted, the
// footer's button in its state, the bar standing at 90; the start and the
// information pages as docs/screenshots shows them; the visible rectangle
// centred and whole on any screen at any scale; each page's controls as a
// screen reader finds them. And the keyboard alone on the pages.
#include "FakeHid.h"
#include "Wizard.h"
#include "WizardWalker.h"

#include <QAccessible>
#include <QDesktopServices>
#include <QScreen>

namespace {

// The share of pixels that differ by more than 2 in a channel between two pictures.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1.0;
    int wrong = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            wrong += qAbs(p.red() - q.red()) > 2 || qAbs(p.green() - q.green()) > 2 || qAbs(p.blue() - q.blue()) > 2;
        }
    }
    return double(wrong) / (a.width() * a.height());
}

// The controls a screen reader finds under `node`, in the tree's order, as
// "<role> <name>[ checked| unchecked][ <description>]".
QStringList controls(QAccessibleInterface *node)
{
    const QHash<QAccessible::Role, QString> roles{
        {QAccessible::Button, "Button"}, {QAccessible::CheckBox, "CheckBox"}, {QAccessible::Link, "Link"}};
    QStringList found;
    for (int i = 0; node && i < node->childCount(); ++i) {
        QAccessibleInterface *child = node->child(i);
        if (!child || child->state().invisible)
            continue;
        if (roles.contains(child->role())) {
            QString line = roles.value(child->role()) + QLatin1Char(' ') + child->text(QAccessible::Name);
            if (child->role() == QAccessible::CheckBox)
                line += child->state().checked ? QStringLiteral(" checked") : QStringLiteral(" unchecked");
            if (!child->text(QAccessible::Description).isEmpty())
                line += QLatin1Char(' ') + child->text(QAccessible::Description);
            found << line;
        }
        found << controls(child);
    }
    return found;
}

// The name of the item with the keyboard focus: what a screen reader announces
// as the focus moves (Qt's bridge reports each focus change).
QString focusName(QQuickWindow *window)
{
    QAccessibleInterface *focused = QAccessible::queryAccessibleInterface(window->activeFocusItem());
    return focused && focused->state().focused ? focused->text(QAccessible::Name) : QString();
}

// The screens of the fitting test's display: X screen number, size.
const QVector<QPair<int, QSize>> FitScreens{{0, {1366, 768}}, {1, {1920, 1080}}, {2, {2560, 1440}}, {3, {3840, 2160}}};

}

// A page reached by goToPage: clicks on Start, the check box, Confirm (stage 1,
// no device), then root functions ("firmware": at stage 3, searched).
struct PageRow
{
    int clicks;
    QStringList calls;
    QString shows;          // the page as the walker tells it
    int button;             // the footer's button: WizardWalker::Button
    QString reference;      // at scale 1 the same as this picture of docs/screenshots/
    QString reference2x;    // and at scale 2 as this one
    QString title;          // the page's accessible name, focused as it shows
    QStringList controls;
};

// Keys pressed on a page ("Space+": Space held, one press repeated), then the
// page shown ("" for the start page), the focused control's (or page's) name,
// and what was opened (the browser: "https", the file manager: "file").
struct KeysRow
{
    int clicks;
    QStringList calls;
    QString keys, page, focus;
    QStringList opened;
};
Q_DECLARE_METATYPE(PageRow)
Q_DECLARE_METATYPE(KeysRow)

class tst_WizardScreens : public QObject
{
    Q_OBJECT

    // A new wizard, active, on a page: clicks on Start, the check box and Confirm
    // (`clicks` of them), then the root functions; "firmware" stands for stage 3
    // with its device found. A progress page is left when its bar waits at 90.
    static void goToPage(Wizard &wizard, int clicks, const QStringList &calls)
    {
        wizard.window->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(wizard.window));
        const QPoint places[] = {WizardWalker::StartButton, WizardWalker::CheckBox, WizardWalker::ConfirmButton};
        for (int i = 0; i < clicks; ++i)
            wizard.click(places[i]);
        for (const QString &call : calls) {
            if (call == QLatin1String("firmware")) {
                FakeHid::addDevice();
                wizard.call("searchDevice");
                wizard.set("operate_device_info", QVariantMap{{"status", 3}, {"msg", "Firmware update"}});
                wizard.set("searchRun", 0);
                wizard.set("step", 3);
            } else {
                wizard.call(qPrintable(call));
            }
        }
        if (wizard.pageObject("progressBar"))
            QTRY_VERIFY_WITH_TIMEOUT(wizard.progress() == 90 && wizard.integer("processRun") == 0, 10000);
    }

    // The whole panel lies within the window, which lies within the work area;
    // it is centred, and drawn smaller than its design size only where that
    // does not fit, then touching the work area's edges on one axis.
    static void verifyPanelFits(const Wizard &wizard)
    {
        auto *panel = qobject_cast<QQuickItem *>(wizard.item("windows"));
        const QRectF drawn = panel->mapRectToScene(QRectF(0, 0, 1000, 720));
        const QRect window = wizard.window->geometry();
        QVERIFY(wizard.window->screen()->availableGeometry().contains(window));
        // (Within rounding: the panel stands on whole logical pixels.)
        QVERIFY2(QRectF(0, 0, window.width(), window.height()).contains(drawn.adjusted(0.01, 0.01, -0.01, -0.01)),
                 qPrintable(QStringLiteral("panel %1,%2 %3x%4 in a window of %5x%6").arg(drawn.x()).arg(drawn.y())
                                .arg(drawn.width()).arg(drawn.height()).arg(window.width()).arg(window.height())));
        QVERIFY(qAbs(drawn.left() - (window.width() - drawn.right())) <= 2);
        QVERIFY(qAbs(drawn.top() - (window.height() - drawn.bottom())) <= 2);
        if (drawn.width() < 999.5)
            QVERIFY(window.width() - drawn.width() <= 1 || window.height() - drawn.height() <= 1);
    }

    // Where the screenshots go: screens/, or screens@2x/ at scale 2.
    static QString shotsDir()
    {
        const QString factor = qEnvironmentVariable("QT_SCALE_FACTOR");
        return QCoreApplication::applicationDirPath() + QStringLiteral("/screens")
               + (factor.isEmpty() || factor == QLatin1String("1") ? QStringLiteral("/") : QStringLiteral("@%1x/").arg(factor));
    }

private slots:
    void initTestCase()
    {
        qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", "hang");
        QAccessible::setActive(true);   // as with a screen reader running
        QVERIFY(QDir().mkpath(shotsDir()));
    }

    // Each page: what the walker tells, and the page under its title with its
    // controls (roles, names, states) as a screen reader finds them.
    void pages_data()
    {
        QTest::addColumn<PageRow>("row");
        const int hidden = int(WizardWalker::Button::Hidden), disabled = int(WizardWalker::Button::Disabled),
                  enabled = int(WizardWalker::Button::Enabled);
        const QStringList bar{"Button Minimize", "Button Close"}, link{"Link https://example.com"};
        const QStringList unavailable{"Button Confirm unavailable"};
        QTest::newRow("start") << PageRow{0, {}, "start", hidden, "upgrade/01-start.png", "start-200.png", "Upvane", bar + QStringList{"Button Start"}};
        QTest::newRow("information") << PageRow{1, {}, "information", disabled, "upgrade/02-information.png", "", "Information before update",
            bar + QStringList{"CheckBox I have read the above precautions. unchecked"} + unavailable};
        QTest::newRow("information-ticked") << PageRow{2, {}, "information", enabled, "", "", "Information before update",
            bar + QStringList{"CheckBox I have read the above precautions. checked", "Button Confirm"}};
        QTest::newRow("device-stage1") << PageRow{3, {}, "device-stage1", disabled, "", "", "Detect current version", bar + link + unavailable};
        QTest::newRow("device-stage2") << PageRow{3, QStringList{"nextUI"}, "device-stage2", disabled, "", "", "Load firmware data", bar + link + unavailable};
        QTest::newRow("device-stage3") << PageRow{3, QStringList{"nextUI", "nextUI"}, "device-stage3", disabled, "", "", "Firmware update", bar + link + unavailable};
        QTest::newRow("progress-waiting-at-90") << PageRow{3, QStringList{"firmware", "upgrade_device"}, "progress-stage3", hidden, "", "", "Firmware update",
            QStringList{"Button Minimize", "Button Close unavailable"}};
        QTest::newRow("failure") << PageRow{3, QStringList{"firmware", "errorUI"}, "failure-stage3", enabled, "", "", "Upgrade Fail!",
            bar + link + QStringList{"Link Open the folder with the log", "Button Restart"}};
        QTest::newRow("success") << PageRow{3, QStringList{"firmware", "successUI"}, "success", enabled, "", "", "Successful !", bar + QStringList{"Button Finish"}};
    }

    void pages()
    {
        QFETCH(PageRow, row);
        FakeHid::reset();
        Wizard wizard;
        QVERIFY(wizard.window);
        goToPage(wizard, row.clicks, row.calls);
        QCOMPARE(controls(QAccessible::queryAccessibleInterface(wizard.window)), row.controls);
        QCOMPARE(QAccessible::queryAccessibleInterface(wizard.window->activeFocusItem())->role(), QAccessible::Pane);
        QCOMPARE(focusName(wizard.window), row.title);

        // A frame drawn after the last change.
        QSignalSpy frames(wizard.window, &QQuickWindow::frameSwapped);
        wizard.window->update();
        QTRY_VERIFY(frames.count() > 0);
        // In device pixels, and the panel at its design size.
        const QImage grabbed = wizard.window->screen()->grabWindow(wizard.window->winId()).toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(grabbed.save(shotsDir() + QLatin1String(QTest::currentDataTag()) + QStringLiteral(".png")));
        auto *panel = qobject_cast<QQuickItem *>(wizard.item("windows"));
        const qreal ratio = wizard.window->devicePixelRatio();
        const QRectF drawn = panel->mapRectToScene(QRectF(0, 0, 1000, 720));
        const QRect inDevice(QPointF(drawn.topLeft() * ratio).toPoint(), QPointF(drawn.bottomRight() * ratio).toPoint() - QPoint(1, 1));
        const QImage atDevice = grabbed.copy(inDevice);
        const QImage shot = atDevice.size() == QSize(1000, 720) ? atDevice
                                                                  : atDevice.scaled(1000, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

        // A frameless window; the visible rectangle is whole and centred in the
        // work area; the page shows as it should.
        QVERIFY(wizard.window->flags() & Qt::FramelessWindowHint);
        verifyPanelFits(wizard);
        QCOMPARE(WizardWalker::visit(shot).label(), row.shows);
        QCOMPARE(int(WizardWalker::confirmButton(shot)), row.button);
        if (wizard.pageObject("progressBar"))
            QCOMPARE(WizardWalker::barPercent(shot), 90);
        const QString today = qFuzzyCompare(ratio, 1.0) ? row.reference : qFuzzyCompare(ratio, 2.0) ? row.reference2x : QString();
        if (!today.isEmpty() && panel->scale() == 1.0) {
            const QImage expected(QStringLiteral(UPVANE_SOURCE_DIR "/docs/screenshots/") + today);
            const double changed = difference(atDevice, expected.convertToFormat(QImage::Format_RGB32));
            QVERIFY2(changed < 0.001, qPrintable(QStringLiteral("%1 % of the page differs from %2").arg(changed * 100).arg(today)));
        }
        QVERIFY2(wizard.warnings.isEmpty(), qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
    }

    // The start page and a device page (reached by clicks) on each screen at
    // each scale, each pair in a run of its own (the scale is the process's):
    // run on a display with the screens of FitScreens (ctest: tst_wizardscreens_fit).
    void fits_data()
    {
        const QList<QScreen *> screens = QGuiApplication::screens();
        for (const auto &screen : FitScreens) {
            if (screens.size() <= screen.first || screens.at(screen.first)->size() != screen.second)
                QSKIP("needs a display with the screens of FitScreens");
        }
        QTest::addColumn<int>("screen");
        QTest::addColumn<QString>("factor");
        for (const auto &screen : FitScreens) {
            for (const char *factor : {"1", "1.25", "1.5", "1.75", "2"}) {
                QTest::addRow("%dx%d at %d %%", screen.second.width(), screen.second.height(), int(QByteArray(factor).toDouble() * 100))
                    << screen.first << QString::fromLatin1(factor);
            }
        }
    }

    void fits()
    {
        QFETCH(int, screen);
        QFETCH(QString, factor);
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), env.value(QStringLiteral("DISPLAY")).section(QLatin1Char('.'), 0, 0)
                                                 + QLatin1Char('.') + QString::number(screen));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), factor);
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QCoreApplication::applicationFilePath(), {QStringLiteral("pages:start"), QStringLiteral("pages:device-stage1")});
        QVERIFY(run.waitForFinished(120000));
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, run.readAll().constData());
    }

    // The keyboard alone on each page (Enter and Space through whole upgrades:
    // tst_endtoend): the keys pressed ("Space+": Space held, one press
    // repeated), then the page shown ("" for the start page), the focused
    // control's (or page's) name, and what was opened (the browser: "https",
    // the file manager: "file").
    void keys_data()
    {
        QTest::addColumn<KeysRow>("row");
        const QString information = Wizard::InformationPage, device = Wizard::DevicePage, result = Wizard::ResultPage;
        const QString progress = Wizard::ProgressPage;
        QTest::newRow("start: Tab, Space starts") << KeysRow{0, {}, "Tab Space", information, "Information before update", {}};
        QTest::newRow("start: Esc") << KeysRow{0, {}, "Escape", "", "Upvane", {}};
        QTest::newRow("information: the box, Space held") << KeysRow{1, {}, "Tab Space Space+ Tab", information, "Confirm", {}};
        QTest::newRow("information: Tab order") << KeysRow{1, {}, "Tab Tab Tab Tab Backtab", information, "Close", {}};
        QTest::newRow("device: Enter while Confirm is disabled") << KeysRow{3, {}, "Return Space", device, "Detect current version", {}};
        QTest::newRow("device: the support link, Enter held") << KeysRow{3, {}, "Tab Return Return+", device, "https://example.com", QStringList{"https"}};
        QTest::newRow("progress: no key closes") << KeysRow{3, QStringList{"firmware", "upgrade_device"}, "Escape Space Return Tab Tab", progress,
            "Minimize", {}};
        QTest::newRow("failure: the log link by keys") << KeysRow{3, QStringList{"firmware", "errorUI"}, "Tab Tab Return Escape", result,
            "Open the folder with the log", QStringList{"file"}};
    }

    void keys()
    {
        QFETCH(KeysRow, row);
        FakeHid::reset();
        Wizard wizard;
        QVERIFY(wizard.window);
        UrlCatcher catcher;
        goToPage(wizard, row.clicks, row.calls);
        const QImage before = wizard.window->grabWindow();
        const QHash<QString, Qt::Key> names{{"Tab", Qt::Key_Tab}, {"Backtab", Qt::Key_Backtab}, {"Space", Qt::Key_Space},
                                            {"Return", Qt::Key_Return}, {"Escape", Qt::Key_Escape}};
        for (const QString &key : row.keys.split(QLatin1Char(' '))) {
            if (key.endsWith(QLatin1Char('+'))) {   // the key held: one press repeated
                QKeyEvent repeated(QEvent::KeyPress, names.value(key.chopped(1)), Qt::NoModifier, QString(), true);
                QCoreApplication::sendEvent(wizard.window, &repeated);
                continue;
            }
            QTest::keyClick(wizard.window, names.value(key), key == QLatin1String("Backtab") ? Qt::ShiftModifier : Qt::NoModifier);
        }

        QCOMPARE(wizard.page(), row.page);
        QCOMPARE(focusName(wizard.window), row.focus);
        QCOMPARE(catcher.schemes(), row.opened);
        QCOMPARE(wizard.quitSpy.count(), 0);
        QVERIFY(wizard.window->isVisible());
        // A page whose focus is on no control looks as it did; a focused control shows its mark.
        const bool onControl = wizard.window->activeFocusItem() && wizard.window->activeFocusItem()->activeFocusOnTab();
        if (row.keys == QLatin1String("Escape") || onControl)
            QCOMPARE(wizard.window->grabWindow() == before, !onControl);
        QVERIFY2(wizard.warnings.isEmpty(), qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
    }
};

WIZARD_TEST_MAIN(tst_WizardScreens)
#include "tst_wizardscreens.moc"
