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

// The share of the picture's pixels that the screen shows otherwise than the
// picture drawn over what lies beneath it.
double mismatch(const QImage &shot, QPoint origin, const Picture &picture)
{
    const QImage image(QStringLiteral(":/Images/") + picture.image);
    if (image.isNull())
        return 1.0;
    QImage expected = QImage(QStringLiteral(":/Images/backimg.png"))
                          .copy(QRect(picture.at, image.size())).convertToFormat(QImage::Format_ARGB32);
    if (picture.under.isValid())
        expected.fill(picture.under);
    QPainter(&expected).drawImage(0, 0, image);
    int wrong = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            wrong += !near(shot.pixelColor(origin + picture.at + QPoint(x, y)), expected.pixelColor(x, y), 12);
    return double(wrong) / (image.width() * image.height());
}

}

Q_DECLARE_METATYPE(Pictures)

class tst_WizardScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", "hang");
        QVERIFY(QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/screens")));
    }

    void pages_data()
    {
        QTest::addColumn<int>("clicks");          // on Start, the check box, Confirm (stage 1, no device)
        QTest::addColumn<QStringList>("calls");   // root functions then; "firmware": at stage 3, searched
        QTest::addColumn<Pictures>("pictures");   // besides the title bar's and the footer's logo
        QTest::addColumn<QColor>("button");       // the footer's colour where no button shows
        QTest::newRow("start") << 0 << QStringList() << Pictures{{"Logo_home.png", {60, 372}, {}}} << QColor();
        QTest::newRow("information") << 1 << QStringList()
                                     << Pictures{{"img.png", {0, Page + 271}}, {"OptionControl.png", {550, FooterTop + 38}, Footer}}
                                     << Disabled;
        QTest::newRow("device-stage1") << 3 << QStringList() << devicePage(1) << Disabled;
        QTest::newRow("device-stage2") << 3 << QStringList{"nextUI"} << devicePage(2) << Disabled;
        QTest::newRow("device-stage3") << 3 << QStringList{"nextUI", "nextUI"} << devicePage(3) << Disabled;
        QTest::newRow("progress-waiting-at-90") << 3 << QStringList{"firmware", "upgrade_device"} << steps(3) << Footer;
        QTest::newRow("failure") << 3 << QStringList{"firmware", "errorUI"}
                                 << steps(3) + Pictures{{"img_Error.png", {416, Page + 158}}} << Blue;
        QTest::newRow("success") << 3 << QStringList{"firmware", "successUI"}
                                 << Pictures{{"img_Approve.png", {416, Page + 140}}} << Blue;
    }

    void pages()
    {
        QFETCH(int, clicks);
        QFETCH(QStringList, calls);
        QFETCH(Pictures, pictures);
        QFETCH(QColor, button);
        FakeHid::reset();
        Wizard wizard;
        QVERIFY(wizard.window);
        const QPoint places[] = {Wizard::StartButton, Wizard::CheckBox, Wizard::ConfirmButton};
        for (int i = 0; i < clicks; ++i)
            wizard.click(places[i]);
        for (const QString &call : qAsConst(calls)) {
            if (call == QLatin1String("firmware")) {
                wizard.set("operate_device_info", QVariantMap{{"status", 3}, {"msg", "Firmware update"}});
                wizard.set("searchRun", 0);
                wizard.set("step", 3);
            } else {
                wizard.call(qPrintable(call));
            }
        }
        auto *bar = qobject_cast<QQuickItem *>(wizard.pageObject("progressBar"));
        if (bar)
            QTRY_VERIFY_WITH_TIMEOUT(wizard.progress() == 90 && wizard.integer("processRun") == 0, 10000);

        // A frame drawn after the last change.
        QSignalSpy frames(wizard.window, &QQuickWindow::frameSwapped);
        wizard.window->update();
        QTRY_VERIFY(frames.count() > 0);
        const QImage shot = wizard.window->screen()->grabWindow(wizard.window->winId()).toImage();
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/screens/")
                          + QLatin1String(QTest::currentDataTag()) + QStringLiteral(".png")));

        // The visible rectangle is centred on the screen; the window around it shows nothing of it.
        const QSize screen = wizard.window->screen()->size();
        const QPoint origin = qobject_cast<QQuickItem *>(wizard.item("windows"))->mapToScene({0, 0}).toPoint();
        QCOMPARE(origin, QPoint((screen.width() - 1000) / 2, (screen.height() - 720) / 2));
        QVERIFY(!near(shot.pixelColor(origin + QPoint(-2, 2)), TitleBar));
        QVERIFY(!near(shot.pixelColor(origin + QPoint(1001, 2)), TitleBar));

        pictures << Picture{"APP_Icon.png", {10, 8}, TitleBar} << Picture{"minimize.png", {916, 0}, TitleBar}
                 << Picture{"Close.png", {961, 0}, TitleBar};
        if (clicks > 0)
            pictures << Picture{"Logo.png", {48, FooterTop + 33}, Footer};
        for (const Picture &picture : qAsConst(pictures)) {
            const double wrong = mismatch(shot, origin, picture);
            QVERIFY2(wrong < 0.02, qPrintable(QStringLiteral("%1 at %2,%3: %4 % of its pixels differ")
                                                  .arg(picture.image).arg(picture.at.x()).arg(picture.at.y())
                                                  .arg(wrong * 100, 0, 'f', 1)));
        }
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
        QVERIFY2(wizard.warnings.isEmpty(), qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
    }
};

WIZARD_TEST_MAIN(tst_WizardScreens)
#include "tst_wizardscreens.moc"
