// Every page state of the wizard as the screen shows it: grabbed from the real
// window on its own X display into PNGs under the build folder (screens/), and
// checked for what must be there: each picture at its place, the right step
// highlighted, the bar standing at 90, the footer's button in its state, the
// visible rectangle centred on the screen.
#include "FakeHid.h"
#include "Wizard.h"
#include "WizardTestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QSet>

namespace {

enum class State { Start, Information, Device1, Device2, Device3, WaitingAt90, Failure, Success };

// A picture of the resources drawn at `at` (inside the visible rectangle) over
// `under`, a plain colour or another picture's pixels.
struct Picture
{
    QString image;
    QPoint at;
    QColor under;
    QString underImage = {};
    QPoint underAt = {};
};

const QColor White(Qt::white);
const QColor TitleBar(0xF3, 0xF3, 0xF3);
const QColor Footer(0x00, 0x5A, 0xA4);
const QColor Enabled(0x00, 0x91, 0xED);
const QColor Disabled(0xDB, 0xDB, 0xDB);
const QColor BarDone(0x00, 0x91, 0xED);
const QColor BarToGo(0xD5, 0xEB, 0xFF);

constexpr int Page = 32;         // top of the page area
constexpr int FooterTop = 620;

QImage resource(const QString &name)
{
    return QImage(QStringLiteral(":/Images/") + name).convertToFormat(QImage::Format_ARGB32);
}

// The step indicator for `stage`.
QVector<Picture> steps(int stage)
{
    return {{stage == 1 ? QStringLiteral("Step.png") : QStringLiteral("Step-4.png"), {440, Page + 26}, White},
            {stage == 2 ? QStringLiteral("Step-2.png") : QStringLiteral("Step-5.png"), {480, Page + 26}, White},
            {stage == 3 ? QStringLiteral("Step-3.png") : QStringLiteral("Step-6.png"), {520, Page + 26}, White}};
}

QVector<Picture> picturesOf(State state)
{
    QVector<Picture> pictures = {{QStringLiteral("APP_Icon.png"), {10, 8}, TitleBar},
                                 {QStringLiteral("minimize.png"), {916, 0}, TitleBar},
                                 {QStringLiteral("Close.png"), {961, 0}, TitleBar}};
    if (state != State::Start)
        pictures << Picture{QStringLiteral("Logo.png"), {48, FooterTop + 33}, Footer};
    const int row = Page + 26 + 32 + 120;
    switch (state) {
    case State::Start:
        pictures << Picture{QStringLiteral("Logo_home.png"), {60, 372}, {}, QStringLiteral("backimg.png"), {60, 372}};
        break;
    case State::Information:
        pictures << Picture{QStringLiteral("img.png"), {0, Page + 271}, White}
                 << Picture{QStringLiteral("OptionControl.png"), {550, FooterTop + 38}, Footer};
        break;
    case State::Device1:
        pictures << steps(1);
        for (int i = 0; i < 3; ++i)
            pictures << Picture{QStringLiteral("img_0%1.png").arg(i + 1), {110 + i * 272, row}, White};
        break;
    case State::Device2:
    case State::Device3:
        pictures << steps(state == State::Device2 ? 2 : 3);
        for (int i = 0; i < 4; ++i)
            pictures << Picture{QStringLiteral("img_0%1.png").arg(i + 4), {48 + i * 232, row}, White};
        break;
    case State::WaitingAt90:
        pictures << steps(3);
        break;
    case State::Failure:
        pictures << steps(3) << Picture{QStringLiteral("img_Error.png"), {416, Page + 58 + 100}, White};
        break;
    case State::Success:
        pictures << Picture{QStringLiteral("img_Approve.png"), {416, Page + 140}, White};
        break;
    }
    return pictures;
}

// The share of the picture's pixels that the screen shows differently from the
// picture drawn over what lies beneath it.
double mismatch(const QImage &shot, QPoint at, const Picture &picture)
{
    const QImage image = resource(picture.image);
    if (image.isNull())
        return 1.0;
    QImage expected(image.size(), QImage::Format_ARGB32);
    if (picture.underImage.isEmpty())
        expected.fill(picture.under);
    else
        expected = resource(picture.underImage).copy(QRect(picture.underAt, image.size()));
    QPainter(&expected).drawImage(0, 0, image);

    int wrong = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor seen = shot.pixelColor(at + QPoint(x, y));
            const QColor want = expected.pixelColor(x, y);
            if (qAbs(seen.red() - want.red()) > 12 || qAbs(seen.green() - want.green()) > 12
                || qAbs(seen.blue() - want.blue()) > 12)
                ++wrong;
        }
    }
    return double(wrong) / (image.width() * image.height());
}

int coloursIn(const QImage &shot, const QRect &area)
{
    QSet<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); y += 2)
        for (int x = area.left(); x <= area.right(); x += 2)
            colours.insert(shot.pixel(x, y));
    return colours.size();
}

bool near(const QColor &seen, const QColor &want)
{
    return qAbs(seen.red() - want.red()) <= 4 && qAbs(seen.green() - want.green()) <= 4
           && qAbs(seen.blue() - want.blue()) <= 4;
}

}

Q_DECLARE_METATYPE(State)

class tst_WizardScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pages_data();
    void pages();

private:
    // Brings a fresh wizard to `state`, by the clicks and functions of the flow.
    bool reach(Wizard &wizard, State state);
};

void tst_WizardScreens::initTestCase()
{
    Wizard::registerTypes();
    qputenv("UPVANE_UPGRADER_SCENARIO_RT48PX", "hang");
    QVERIFY(QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/screens")));
}

void tst_WizardScreens::pages_data()
{
    QTest::addColumn<State>("state");
    QTest::newRow("start") << State::Start;
    QTest::newRow("information") << State::Information;
    QTest::newRow("device-stage1") << State::Device1;
    QTest::newRow("device-stage2") << State::Device2;
    QTest::newRow("device-stage3") << State::Device3;
    QTest::newRow("progress-waiting-at-90") << State::WaitingAt90;
    QTest::newRow("failure") << State::Failure;
    QTest::newRow("success") << State::Success;
}

bool tst_WizardScreens::reach(Wizard &wizard, State state)
{
    if (state == State::Start)
        return true;
    wizard.click(Wizard::StartButton);
    if (state == State::Information)
        return true;
    wizard.click(Wizard::CheckBox);
    wizard.click(Wizard::ConfirmButton);   // stage 1; no device, so the search goes on
    if (state == State::Device1)
        return true;
    if (state == State::Device2 || state == State::Device3) {
        wizard.call("nextUI");
        if (state == State::Device3)
            wizard.call("nextUI");
        return true;
    }
    wizard.set("operate_device_info", QVariantMap{{"status", 3}, {"msg", "Firmware update"}});
    wizard.set("searchRun", 0);
    if (state == State::WaitingAt90) {
        wizard.set("step", 3);
        wizard.call("upgrade_device");
        return QTest::qWaitFor([&] { return wizard.progress() == 90 && wizard.integer("processRun") == 0; }, 10000);
    }
    wizard.call(state == State::Failure ? "errorUI" : "successUI");
    return true;
}

void tst_WizardScreens::pages()
{
    QFETCH(State, state);
    FakeHid::reset();
    Wizard wizard;
    QVERIFY(wizard.window);
    QVERIFY(QTest::qWaitForWindowExposed(wizard.window));
    QVERIFY(reach(wizard, state));

    // A frame drawn after the last change.
    QSignalSpy frames(wizard.window, &QQuickWindow::frameSwapped);
    wizard.window->update();
    QTRY_VERIFY(frames.count() > 0);
    const QImage shot = wizard.grab();
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/screens/") + name + QStringLiteral(".png")));

    // The visible rectangle is centred on the screen and the window around it
    // shows nothing of it.
    const QSize screen = wizard.window->screen()->size();
    const QPoint origin = wizard.origin();
    QCOMPARE(origin, QPoint((screen.width() - 1000) / 2, (screen.height() - 720) / 2));
    QVERIFY(near(shot.pixelColor(origin + QPoint(500, 2)), TitleBar));
    QVERIFY(near(shot.pixelColor(origin + QPoint(998, 2)), TitleBar));
    QVERIFY(!near(shot.pixelColor(origin + QPoint(-2, 2)), TitleBar));
    QVERIFY(!near(shot.pixelColor(origin + QPoint(1001, 2)), TitleBar));

    for (const Picture &picture : picturesOf(state)) {
        const double wrong = mismatch(shot, origin + picture.at, picture);
        QVERIFY2(wrong < 0.02, qPrintable(QStringLiteral("%1 at %2,%3: %4 % of its pixels differ")
                                              .arg(picture.image).arg(picture.at.x()).arg(picture.at.y())
                                              .arg(wrong * 100, 0, 'f', 1)));
    }

    // No page is blank: the page area shows texts and pictures.
    QVERIFY2(coloursIn(shot, QRect(origin + QPoint(0, Page), QSize(1000, FooterTop - Page))) > 20,
             "the page area is blank");

    // The footer's button in the state of the page.
    const QPoint button = origin + QPoint(812 + 6, FooterTop + 30 + 6);
    switch (state) {
    case State::Start:
        break;
    case State::Information:
    case State::Device1:
    case State::Device2:
    case State::Device3:
        QVERIFY(near(shot.pixelColor(button), Disabled));
        break;
    case State::WaitingAt90: {
        QVERIFY(near(shot.pixelColor(button), Footer));   // no button while the bar runs
        auto *bar = qobject_cast<QQuickItem *>(wizard.pageObject("progressBar"));
        QVERIFY(bar);
        const QPoint left = bar->mapToScene(QPointF(0, bar->height() / 2)).toPoint();
        QCOMPARE(bar->width(), 720.0);
        QVERIFY(near(shot.pixelColor(left + QPoint(int(720 * 0.88), 0)), BarDone));
        QVERIFY(near(shot.pixelColor(left + QPoint(int(720 * 0.92), 0)), BarToGo));
        break;
    }
    case State::Failure:
    case State::Success:
        QVERIFY(near(shot.pixelColor(button), Enabled));
        break;
    }
    QVERIFY2(wizard.warnings.isEmpty(), qPrintable(wizard.warnings.join(QLatin1Char('\n'))));
}

int main(int argc, char *argv[])
{
    WizardTestEnvironment environment;
    QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    QApplication app(argc, argv);
    if (!environment.isValid())
        return 1;
    tst_WizardScreens test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_wizardscreens.moc"
