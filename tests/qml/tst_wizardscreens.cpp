// Every page state of the wizard as the screen shows it: grabbed from the real
// window into PNGs under the build folder (screens/) and checked for what must be
// there: each picture at its place, the right step highlighted, the footer's
// button in its state, the bar standing at 90, the visible rectangle centred.
#include "FakeHid.h"
#include "Wizard.h"

#include <QPainter>
#include <QScreen>
#include <QSet>

namespace {

const QColor TitleBar(0xF3, 0xF3, 0xF3);
const QColor Footer(0x00, 0x5A, 0xA4);
const QColor Blue(0x00, 0x91, 0xED);   // an enabled button, the bar's done part
const QColor Disabled(0xDB, 0xDB, 0xDB);
const QColor BarToGo(0xD5, 0xEB, 0xFF);

constexpr int Page = 32;   // top of the page area
constexpr int FooterTop = 620;
constexpr int PictureRow = Page + 26 + 32 + 120;

// A picture of the resources at `at` in the visible rectangle, drawn over a
// plain colour or, without one, over the start page's background.
struct Picture
{
    QString image;
    QPoint at;
    QColor under = Qt::white;
};
using Pictures = QVector<Picture>;

bool near(const QColor &seen, const QColor &want, int tolerance = 4)
{
    return qAbs(seen.red() - want.red()) <= tolerance && qAbs(seen.green() - want.green()) <= tolerance
           && qAbs(seen.blue() - want.blue()) <= tolerance;
}

// The step indicator with `stage` highlighted, and the device page's pictures.
Pictures steps(int stage)
{
    const char *const on[] = {"Step.png", "Step-2.png", "Step-3.png"};
    const char *const off[] = {"Step-4.png", "Step-5.png", "Step-6.png"};
    Pictures pictures;
    for (int i = 0; i < 3; ++i)
        pictures << Picture{QLatin1String(stage == i + 1 ? on[i] : off[i]), {440 + 40 * i, Page + 26}};
    return pictures;
}
Pictures devicePage(int stage)
{
    Pictures pictures = steps(stage);
    const int first = stage == 1 ? 1 : 4, count = stage == 1 ? 3 : 4;
    for (int i = 0; i < count; ++i)
        pictures << Picture{QStringLiteral("img_0%1.png").arg(first + i),
                            {stage == 1 ? 110 + i * 272 : 48 + i * 232, PictureRow}};
    return pictures;
}

// The picture as the screen should show it at `scale`: at 1 the PNG of the
// resources; above it a render of its SVG source made here, at twice the size.
QImage artwork(const QString &png, int scale)
{
    const QImage base(QStringLiteral(":/Images/") + png);
    if (scale == 1 || base.isNull())
        return base;
    static QHash<QString, QImage> renders;
    if (!renders.contains(png)) {
        QProcess rsvg;
        rsvg.start(QStringLiteral("rsvg-convert"),
                   {QStringLiteral("--width=%1").arg(base.width() * scale), QStringLiteral("--height=%1").arg(base.height() * scale),
                    QStringLiteral(UPVANE_SOURCE_DIR "/qml/art/") + QFileInfo(png).completeBaseName() + QStringLiteral(".svg")});
        rsvg.waitForFinished(30000);
        renders.insert(png, QImage::fromData(rsvg.readAllStandardOutput(), "PNG"));
    }
    return renders.value(png);
}

// The share of the picture's pixels that the screen (`shot`, in device pixels
// at `scale`) shows otherwise than the picture drawn over what lies beneath it.
double mismatch(const QImage &shot, QPoint origin, const Picture &picture, int scale)
{
    const QImage image = artwork(picture.image, scale);
    if (image.isNull())
        return 1.0;
    const QPoint at = (origin + picture.at) * scale;
    QImage expected = artwork(QStringLiteral("backimg.png"), scale)
                          .copy(QRect(picture.at * scale, image.size())).convertToFormat(QImage::Format_ARGB32);
    if (picture.under.isValid())
        expected.fill(picture.under);
    QPainter(&expected).drawImage(0, 0, image);
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            wrong += !near(shot.pixelColor(at + QPoint(x, y)), expected.pixelColor(x, y), 12);
    return double(wrong) / (image.width() * image.height());
}

// The share of pixels that differ between two pictures of the same size.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1.0;
    int wrong = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            wrong += !near(a.pixelColor(x, y), b.pixelColor(x, y), 2);
    return double(wrong) / (a.width() * a.height());
}

// The window's scale: 1, or 2 under QT_SCALE_FACTOR=2 (a run of its own).
int scaleOf(QWindow *window)
{
    return qRound(window->devicePixelRatio());
}

}

Q_DECLARE_METATYPE(Pictures)

class tst_WizardScreens : public QObject
{
    Q_OBJECT

    // Clicks on Start, the check box and Confirm (`clicks` of them), then calls
    // the root functions; "firmware" stands for stage 3 with its device found.
    static void goToPage(Wizard &wizard, int clicks, const QStringList &calls)
    {
        const QPoint places[] = {Wizard::StartButton, Wizard::CheckBox, Wizard::ConfirmButton};
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
    }

    // The pictures of the page, the title bar's and, past the start page, the footer's logo.
    static void verifyPictures(const QImage &grabbed, QPoint origin, Pictures pictures, bool withFooter, int scale)
    {
        pictures << Picture{"APP_Icon.png", {10, 8}, TitleBar} << Picture{"minimize.png", {916, 0}, TitleBar}
                 << Picture{"Close.png", {961, 0}, TitleBar};
        if (withFooter)
            pictures << Picture{"Logo.png", {48, FooterTop + 33}, Footer};
        for (const Picture &picture : qAsConst(pictures)) {
            const double wrong = mismatch(grabbed, origin, picture, scale);
            QVERIFY2(wrong < 0.02, qPrintable(QStringLiteral("%1 at %2,%3: %4 % of its pixels differ")
                                                  .arg(picture.image).arg(picture.at.x()).arg(picture.at.y())
                                                  .arg(wrong * 100, 0, 'f', 1)));
        }
    }

    // The failure page's link to the log stays clear of everything else on the page.
    static void verifyLogLinkClear(const Wizard &wizard, QPoint origin)
    {
        auto *logLink = qobject_cast<QQuickItem *>(wizard.pageObject("log_link"));
        if (!logLink || !logLink->isVisible())
            return;
        const QRectF linkArea = logLink->mapRectToScene(logLink->boundingRect());
        for (const char *other : {"link", "link2", "png"}) {
            auto *item = qobject_cast<QQuickItem *>(wizard.pageObject(other));
            QVERIFY(item);
            QVERIFY2(!linkArea.intersects(item->mapRectToScene(item->boundingRect())), other);
        }
        QVERIFY(linkArea.bottom() < origin.y() + FooterTop - 20);
    }

private slots:
    void initTestCase()
    {
        qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", "hang");
        QVERIFY(QDir().mkpath(shotsDir()));
    }

    // Where the screenshots go: screens/, or screens@2x/ at scale 2.
    static QString shotsDir()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/screens")
               + (qgetenv("QT_SCALE_FACTOR") == "2" ? QStringLiteral("@2x/") : QStringLiteral("/"));
    }

    void pages_data()
    {
        QTest::addColumn<int>("clicks");          // on Start, the check box, Confirm (stage 1, no device)
        QTest::addColumn<QStringList>("calls");   // root functions then; "firmware": at stage 3, searched
        QTest::addColumn<Pictures>("pictures");   // besides the title bar's and the footer's logo
        QTest::addColumn<QColor>("button");       // the footer's colour where no button shows
        QTest::addColumn<QString>("reference");   // at scale 1 the same as this picture of docs/screenshots/
        QTest::newRow("start") << 0 << QStringList() << Pictures{{"Logo_home.png", {60, 372}, {}}} << QColor()
                               << "upgrade/01-start.png";
        QTest::newRow("information") << 1 << QStringList()
                                     << Pictures{{"img.png", {0, Page + 271}}, {"OptionControl.png", {550, FooterTop + 38}, Footer}}
                                     << Disabled << "upgrade/02-information.png";
        QTest::newRow("device-stage1") << 3 << QStringList() << devicePage(1) << Disabled << QString();
        QTest::newRow("device-stage2") << 3 << QStringList{"nextUI"} << devicePage(2) << Disabled << QString();
        QTest::newRow("device-stage3") << 3 << QStringList{"nextUI", "nextUI"} << devicePage(3) << Disabled << QString();
        QTest::newRow("progress-waiting-at-90") << 3 << QStringList{"firmware", "upgrade_device"} << steps(3) << Footer << QString();
        QTest::newRow("failure") << 3 << QStringList{"firmware", "errorUI"}
                                 << steps(3) + Pictures{{"img_Error.png", {416, Page + 158}}} << Blue << QString();
        QTest::newRow("success") << 3 << QStringList{"firmware", "successUI"}
                                 << Pictures{{"img_Approve.png", {416, Page + 140}}} << Blue << QString();
    }

    void pages()
    {
        QFETCH(int, clicks);
        QFETCH(QStringList, calls);
        QFETCH(Pictures, pictures);
        QFETCH(QColor, button);
        QFETCH(QString, reference);
        FakeHid::reset();
        Wizard wizard;
        QVERIFY(wizard.window);
        goToPage(wizard, clicks, calls);
        auto *bar = qobject_cast<QQuickItem *>(wizard.pageObject("progressBar"));
        if (bar)
            QTRY_VERIFY_WITH_TIMEOUT(wizard.progress() == 90 && wizard.integer("processRun") == 0, 10000);

        // A frame drawn after the last change.
        QSignalSpy frames(wizard.window, &QQuickWindow::frameSwapped);
        wizard.window->update();
        QTRY_VERIFY(frames.count() > 0);
        // In device pixels; `shot` itself in the window's own (logical) pixels.
        const QImage grabbed = wizard.window->screen()->grabWindow(wizard.window->winId()).toImage();
        QVERIFY(grabbed.save(shotsDir() + QLatin1String(QTest::currentDataTag()) + QStringLiteral(".png")));
        const int scale = scaleOf(wizard.window);
        const QImage shot = scale == 1 ? grabbed : grabbed.scaled(grabbed.size() / scale, Qt::IgnoreAspectRatio, Qt::FastTransformation);

        // A frameless window; the visible rectangle is centred on the screen and
        // the window around it shows nothing of it.
        QVERIFY(wizard.window->flags() & Qt::FramelessWindowHint);
        const QSize screen = wizard.window->screen()->size();
        const QPoint origin = qobject_cast<QQuickItem *>(wizard.item("windows"))->mapToScene({0, 0}).toPoint();
        QCOMPARE(origin, QPoint((screen.width() - 1000) / 2, (screen.height() - 720) / 2));
        QVERIFY(!near(shot.pixelColor(origin + QPoint(-2, 2)), TitleBar));
        QVERIFY(!near(shot.pixelColor(origin + QPoint(1001, 2)), TitleBar));

        verifyPictures(grabbed, origin, pictures, clicks > 0, scale);
        QSet<QRgb> colours;
        for (int y = Page; y < FooterTop; y += 2)
            for (int x = 0; x < 1000; x += 2)
                colours.insert(shot.pixel(origin + QPoint(x, y)));
        QVERIFY2(colours.size() > 20, "the page area is blank");
        if (button.isValid())
            QVERIFY(near(shot.pixelColor(origin + QPoint(812 + 6, FooterTop + 30 + 6)), button));
        if (bar) {
            const QPoint left = bar->mapToScene(QPointF(0, bar->height() / 2)).toPoint();
            QVERIFY(near(shot.pixelColor(left + QPoint(int(bar->width() * 0.88), 0)), Blue));
            QVERIFY(near(shot.pixelColor(left + QPoint(int(bar->width() * 0.92), 0)), BarToGo));
        }
        if (scale == 1 && !reference.isEmpty()) {
            const QImage today(QStringLiteral(UPVANE_SOURCE_DIR "/docs/screenshots/") + reference);
            const double changed = difference(shot.copy(QRect(origin, QSize(1000, 720))).convertToFormat(QImage::Format_RGB32),
                                              today.convertToFormat(QImage::Format_RGB32));
            QVERIFY2(changed < 0.001, qPrintable(QStringLiteral("%1 % of the page differs from %2").arg(changed * 100).arg(reference)));
        }
        verifyLogLinkClear(wizard, origin);
        QVERIFY2(wizard.warnings.isEmpty(), qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
    }
};

WIZARD_TEST_MAIN(tst_WizardScreens)
#include "tst_wizardscreens.moc"
