#include "WizardWalker.h"

#include <QCoreApplication>
#include <QDir>
#include <QDeadlineTimer>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdlib>

namespace {

bool near(QRgb pixel, QRgb colour, int tolerance = 24)
{
    return std::abs(qRed(pixel) - qRed(colour)) <= tolerance && std::abs(qGreen(pixel) - qGreen(colour)) <= tolerance
        && std::abs(qBlue(pixel) - qBlue(colour)) <= tolerance;
}

QRgb at(const QImage &shot, int x, int y)
{
    return shot.valid(x, y) ? shot.pixel(x, y) : qRgb(0, 0, 0);
}

const QRgb kFooter = qRgb(0x00, 0x5A, 0xA4);
const QRgb kAccent = qRgb(0x00, 0x91, 0xED);
const QRgb kDisabled = qRgb(0xDB, 0xDB, 0xDB);
const QRgb kBarTrack = qRgb(0xD5, 0xEB, 0xFF);
const QRgb kSuccess = qRgb(0x2E, 0xAD, 0x5B);
const QRgb kFailure = qRgb(0xE5, 0x48, 0x4D);

bool hasCheckBoxText(const QImage &shot)
{
    for (int y = 662; y < 680; ++y) {
        for (int x = 585; x < 700; ++x) {
            if (qRed(at(shot, x, y)) > 200)
                return true;
        }
    }
    return false;
}

}

WizardWalker::WizardWalker(QScreen *screen)
    : m_screen(screen)
{
}

QRect WizardWalker::windowRect() const
{
    if (!m_panel.isEmpty())
        return m_panel;
    const QRect screen = m_screen->geometry();
    return QRect((screen.width() - 1000) / 2, (screen.height() - 720) / 2, 1000, 720);
}

bool WizardWalker::findPanel()
{
    // The title bar is the topmost row with a long run of its grey; its first
    // and last grey pixels are the panel's edges (the close button keeps 7 of
    // its 1000 pixels clear of the right edge).
    const QImage screen = grabScreen();
    const QRgb titleBar = qRgb(0xF3, 0xF3, 0xF3);
    for (int y = 0; y < screen.height(); ++y) {
        int first = -1, last = -1, run = 0, longest = 0;
        for (int x = 0; x < screen.width(); ++x) {
            const bool grey = near(screen.pixel(x, y), titleBar, 2);
            run = grey ? run + 1 : 0;
            longest = std::max(longest, run);
            if (grey) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
        if (longest >= 100) {
            const double scale = (last - first + 1) / 1000.0;
            m_panel = QRect(first, y, last - first + 1, qRound(720 * scale));
            return true;
        }
    }
    return false;
}

QImage WizardWalker::grabScreen() const
{
    return m_screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage WizardWalker::grab() const
{
    const QImage panel = grabScreen().copy(windowRect());
    return panel.size() == QSize(1000, 720) ? panel : panel.scaled(1000, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool WizardWalker::click(QPoint inWindow) const
{
    const QRect panel = windowRect();
    const QPoint at = panel.topLeft() + QPoint(inWindow.x() * panel.width() / 1000, inWindow.y() * panel.height() / 720);
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                              QStringLiteral("click"), QStringLiteral("1")})
        == 0;
}

bool WizardWalker::press(const QString &key)
{
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^VELM Upvane$"),
                              QStringLiteral("windowfocus"), QStringLiteral("key"), key})
        == 0;
}

WizardWalker::Page WizardWalker::page(const QImage &shot)
{
    if (shot.isNull())
        return Page::Unknown;
    // The start screen's dark background fills the page area.
    const QRgb background = at(shot, 20, 100);
    if (qBlue(background) > 90 && qRed(background) < 40 && qGreen(background) < 110)
        return Page::Start;
    if (!near(at(shot, 20, 700), kFooter, 8))
        return Page::Unknown;
    if (near(at(shot, 456, 256), kSuccess))
        return Page::Success;
    if (near(at(shot, 456, 274), kFailure))
        return Page::Failure;
    if (barPercent(shot) >= 0)
        return Page::Progress;
    if (highlightedStage(shot) != 0)
        return Page::Device;
    // Only the information page shows the precautions check box and its text.
    if (hasCheckBoxText(shot))
        return Page::Information;
    return Page::Unknown;
}

WizardWalker::Button WizardWalker::confirmButton(const QImage &shot)
{
    const QRgb p = at(shot, 860, 655);
    if (near(p, kAccent, 8))
        return Button::Enabled;
    if (near(p, kDisabled, 8))
        return Button::Disabled;
    return Button::Hidden;
}

int WizardWalker::highlightedStage(const QImage &shot)
{
    // Inside the filled circle of a highlighted indicator, left of its digit.
    for (int stage = 1; stage <= 3; ++stage) {
        if (near(at(shot, 440 + 40 * (stage - 1) + 8, 58 + 16), kAccent, 8))
            return stage;
    }
    return 0;
}

int WizardWalker::barPercent(const QImage &shot)
{
    // The bar is 720 wide and centred (x 140 to 860) somewhere below the title:
    // a row that is track or fill at both ends and in the middle, and page
    // background just outside it. Its fill ends where the last fill pixel of its
    // middle row (it is 10 high, its ends round) is.
    const auto onBar = [&](int x, int y) {
        const QRgb p = at(shot, x, y);
        return near(p, kBarTrack, 8) || near(p, kAccent, 8);
    };
    for (int y = 300; y < 560; ++y) {
        if (!onBar(145, y) || !onBar(500, y) || !onBar(855, y) || onBar(130, y) || onBar(870, y))
            continue;
        int end = 139;
        for (int x = 140; x < 860; ++x)
            end = near(at(shot, x, y + 4), kAccent, 8) ? x : end;
        return qRound((end - 139) / 7.2);
    }
    return -1;
}

bool WizardWalker::waitFor(const std::function<bool(const QImage &)> &condition, int timeoutMs, QImage *last) const
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QImage shot = grab();
        if (last)
            *last = shot;
        if (condition(shot))
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
    }
}

bool WizardWalker::waitForPage(Page wanted, int timeoutMs, QImage *last) const
{
    return waitFor([wanted](const QImage &shot) { return page(shot) == wanted; }, timeoutMs, last);
}

WizardWalker::Visit WizardWalker::visit(const QImage &shot)
{
    const Page now = page(shot);
    const bool staged = now == Page::Device || now == Page::Progress || now == Page::Failure;
    return Visit{now, staged ? highlightedStage(shot) : 0, shot};
}

QStringList WizardWalker::labels(const QVector<Visit> &visits)
{
    QStringList list;
    for (const Visit &visit : visits)
        list << visit.label();
    return list;
}

QString WizardWalker::Visit::label() const
{
    static const char *const names[] = {"unknown", "start", "information", "device", "progress", "success", "failure"};
    const QString name = QLatin1String(names[int(page)]);
    return stage ? QStringLiteral("%1-stage%2").arg(name).arg(stage) : name;
}

QVector<WizardWalker::Visit> WizardWalker::walk(const WalkOptions &options) const
{
    QVector<Visit> visits;
    if (!options.shotsDir.isEmpty())
        QDir().mkpath(options.shotsDir);
    const QDeadlineTimer deadline(options.timeoutMs);
    bool restarted = false;   // Restart was pressed: the walk ends on the information page
    // Enter, or a click on the page's main button at `place`, then up to 5 s for the page to change.
    const auto mainButton = [&](Page now, QPoint place) {
        options.keys ? press(QStringLiteral("Return")) : click(place);
        waitFor([now](const QImage &s) { return page(s) != now; }, 5000);
    };
    while (!deadline.hasExpired()) {
        const QImage shot = grab();
        const Visit now = visit(shot);
        if (options.until && options.until(shot))
            break;
        if (now.page != Page::Unknown && (visits.isEmpty() || visits.last().label() != now.label())) {
            // Let the page settle (bindings, first tick) before it is kept, as NN-<label>.png in shotsDir.
            QThread::msleep(150);
            visits << Visit{now.page, now.stage, grab()};
            if (!options.shotsDir.isEmpty())
                visits.last().shot.save(
                    QStringLiteral("%1/%2-%3.png").arg(options.shotsDir).arg(visits.size(), 2, 10, QLatin1Char('0')).arg(now.label()));
        }
        const Button confirm = confirmButton(shot);
        const bool confirmable = (now.page == Page::Information && !restarted) || now.page == Page::Device;
        if (now.page == Page::Start) {
            mainButton(now.page, StartButton);
        } else if (now.page == Page::Information && !restarted && confirm == Button::Disabled) {
            options.keys ? press(QStringLiteral("space")) : click(CheckBox);
            waitFor([](const QImage &s) { return confirmButton(s) == Button::Enabled; }, 5000);
        } else if (confirmable && confirm == Button::Enabled) {
            mainButton(now.page, ConfirmButton);
        } else if (now.page == Page::Failure && options.restartOnFailure) {
            mainButton(now.page, ConfirmButton);
            restarted = true;
        } else if (now.page == Page::Success && options.finish) {
            options.keys ? press(QStringLiteral("Return")) : click(ConfirmButton);
            break;
        } else if (now.page == Page::Success || now.page == Page::Failure || (now.page == Page::Information && restarted)) {
            break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(100);
    }
    return visits;
}

bool WizardWalker::walkUntil(const std::function<bool(const QImage &)> &until, int timeoutMs) const
{
    WalkOptions options;
    options.timeoutMs = timeoutMs;
    options.finish = options.restartOnFailure = false;
    options.until = until;
    walk(options);
    return until(grab());
}
