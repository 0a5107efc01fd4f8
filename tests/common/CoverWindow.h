#pragma once

#include <QPainter>
#include <QRasterWindow>

// A black window of the test's own: shown over the whole screen, it hides the
// wizard until something brings the wizard's window to the front again.
class CoverWindow : public QRasterWindow
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter(this).fillRect(QRect(QPoint(), size()), Qt::black);
    }
};
