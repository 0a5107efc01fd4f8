#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QScreen;

// Drives the running wizard from outside, as a person would: real clicks through
// the X server (xdotool) at the wizard's layout, and screenshots of the screen
// to tell which page it shows. Test and demo equipment only, for the Linux and
// the Wine runs alike.
//
// The wizard's visible 1000 x 720 rectangle (its panel) is centred on the screen,
// or found by its title bar where it is drawn scaled (findPanel); every point
// below is relative to its top-left corner at its design size. A walk can also
// go by keys alone: Enter for each page's main button, Space for the check box.
class WizardWalker
{
public:
    enum class Page { Unknown, Start, Information, Device, Progress, Success, Failure };
    enum class Button { Hidden, Disabled, Enabled };

    // The middles of the controls the walk clicks.
    static constexpr QPoint StartButton{60 + 62, 572 + 19};
    static constexpr QPoint CheckBox{550 + 12, 620 + 50};
    static constexpr QPoint ConfirmButton{812 + 70, 620 + 30 + 20};
    static constexpr QPoint CloseButton{1000 - 7 - 16, 16};

    // One page as the walk first saw it.
    struct Visit
    {
        Page page = Page::Unknown;
        int stage = 0;
        QImage shot;
        QString label() const;   // e.g. "device-stage2"
    };

    struct WalkOptions
    {
        int timeoutMs = 120000;        // for the whole walk
        bool finish = true;            // click Finish on the success page
        bool restartOnFailure = true;  // click Restart on the failure page, end on the information page
        QString shotsDir;              // save each visit there as NN-<label>.png when set
        bool keys = false;             // keys alone (Enter, Space) instead of clicks
        // Ends the walk, before anything is clicked there, on a screenshot for which it holds.
        std::function<bool(const QImage &)> until;
    };

    explicit WizardWalker(QScreen *screen);

    // Walks the wizard through an upgrade: Start, tick the precautions, Confirm on
    // every page where it is enabled, until the success or failure page has been
    // handled as `options` say, `options.until` holds or the time is up. Returns
    // the pages in the order they were first seen (a page counts again when its
    // stage changes).
    QVector<Visit> walk(const WalkOptions &options) const;
    // Walks to the first page for which `until` holds; false when the walk ended elsewhere.
    bool walkUntil(const std::function<bool(const QImage &)> &until, int timeoutMs = 60000) const;

    // The wizard's visible rectangle in screen coordinates.
    QRect windowRect() const;
    // Finds the panel on the screen by its title bar, at whatever size it is
    // drawn; grabs and clicks follow it from then on. False when no title bar shows.
    bool findPanel();
    // A screenshot of the whole screen, and of the wizard's rectangle at its design size.
    QImage grabScreen() const;
    QImage grab() const;

    // Moves the pointer there and clicks the left button; false when xdotool failed.
    bool click(QPoint inWindow) const;
    // Gives the wizard's window the keyboard focus and presses `key` (an xdotool
    // key name such as "Return"); false when xdotool failed.
    static bool press(const QString &key);

    // What a screenshot of the wizard's rectangle shows.
    static Page page(const QImage &shot);
    static Button confirmButton(const QImage &shot);
    // The stage whose step indicator is highlighted (1 to 3), or 0 when none is.
    static int highlightedStage(const QImage &shot);
    // How far the progress bar is filled, in percent; -1 without a bar.
    static int barPercent(const QImage &shot);
    // The page `shot` shows, with the stage it is told apart by (the highlighted
    // step indicator on the pages that show one, else 0).
    static Visit visit(const QImage &shot);
    // The labels of the visits, in order.
    static QStringList labels(const QVector<Visit> &visits);

    // Grabs until `condition` holds for a screenshot or `timeoutMs` passes; the
    // last screenshot is left in `last` when given. Keeps the event loop running.
    bool waitFor(const std::function<bool(const QImage &)> &condition, int timeoutMs, QImage *last = nullptr) const;
    bool waitForPage(Page page, int timeoutMs, QImage *last = nullptr) const;

private:
    QScreen *m_screen;
    QRect m_panel;   // where findPanel found it; empty: centred at the design size
};
