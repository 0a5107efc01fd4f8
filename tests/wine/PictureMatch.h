#pragma once

#include <QImage>
#include <QRect>
#include <QStringList>

// Whether two screenshots of the wizard's start page show the same page, allowing
// for the different text rendering of two platforms (anti-aliased edges) but not
// for a missing picture, another font or a shifted layout.
namespace PictureMatch {

// Pixels in which some colour channel differs by more than `tolerance`.
int differingPixels(const QImage &a, const QImage &b, int tolerance);

// The bounding box of the white ink (every channel above 200) inside `area`;
// a null rectangle when there is none.
QRect inkBox(const QImage &image, const QRect &area);

// What differs between the start page `shot` and the `reference`: an empty list
// when they look alike. Fewer than 1 % of the pixels may differ by more than a
// tenth of the colour range, and the white ink of the logo, the two texts and
// the Start button must start within 2 px of where it starts in the reference
// and be as large within 2 px or 2.5 %, whichever is more.
QStringList startPageFaults(const QImage &reference, const QImage &shot);

}
