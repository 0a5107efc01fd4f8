#pragma once

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTest>

// A black window of the test's own: shown over the whole screen, it hides the
// wizard until something brings the wizard's window to the front again.
class CoverWindow : public QRasterWindow
{
public:
    // Shows the window over the whole primary screen; true once it is exposed.
    bool coverScreen()
    {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
        show();
        return QTest::qWaitForWindowExposed(this);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::black);
    }
};
