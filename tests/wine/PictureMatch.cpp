#include "PictureMatch.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct Area
{
    const char *name;
    QRect rect;
};

// The start page's white elements, in the wizard's 1000 x 720 rectangle, each
// with room around it (the background has no white left of x 500).
const Area kStartPageInk[] = {
    {"logo", QRect(40, 360, 260, 72)},
    {"title", QRect(40, 440, 420, 72)},
    {"version line", QRect(40, 512, 420, 38)},
    {"Start button", QRect(40, 560, 200, 64)},
};

}

namespace PictureMatch {

int differingPixels(const QImage &a, const QImage &b, int tolerance)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    const QImage left = a.convertToFormat(QImage::Format_RGB32);
    const QImage right = b.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < left.height(); ++y) {
        const QRgb *p = reinterpret_cast<const QRgb *>(left.constScanLine(y));
        const QRgb *q = reinterpret_cast<const QRgb *>(right.constScanLine(y));
        for (int x = 0; x < left.width(); ++x) {
            if (std::abs(qRed(p[x]) - qRed(q[x])) > tolerance || std::abs(qGreen(p[x]) - qGreen(q[x])) > tolerance
                || std::abs(qBlue(p[x]) - qBlue(q[x])) > tolerance)
                ++count;
        }
    }
    return count;
}

QRect inkBox(const QImage &image, const QRect &area)
{
    QRect box;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) > 200)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

QStringList startPageFaults(const QImage &reference, const QImage &shot)
{
    QStringList faults;
    if (reference.size() != shot.size())
        return {QStringLiteral("size %1x%2, not %3x%4")
                    .arg(shot.width()).arg(shot.height()).arg(reference.width()).arg(reference.height())};
    const int limit = reference.width() * reference.height() / 100;
    const int differing = differingPixels(reference, shot, 25);
    if (differing > limit)
        faults << QStringLiteral("%1 pixels differ (at most %2 may)").arg(differing).arg(limit);
    for (const Area &area : kStartPageInk) {
        const QRect expected = inkBox(reference, area.rect);
        const QRect got = inkBox(shot, area.rect);
        // Glyph advances are rounded differently from platform to platform: a
        // line of text may come out up to 2.5 % shorter or longer.
        const auto sizeNear = [](int a, int b) { return std::abs(a - b) <= std::max(2, b / 40); };
        const bool near = !got.isNull() && std::abs(got.left() - expected.left()) <= 2
            && std::abs(got.top() - expected.top()) <= 2 && sizeNear(got.width(), expected.width())
            && sizeNear(got.height(), expected.height());
        if (!near) {
            faults << QStringLiteral("%1 at %2,%3 %4x%5, not %6,%7 %8x%9")
                          .arg(QLatin1String(area.name))
                          .arg(got.x()).arg(got.y()).arg(got.width()).arg(got.height())
                          .arg(expected.x()).arg(expected.y()).arg(expected.width()).arg(expected.height());
        }
    }
    return faults;
}

}
