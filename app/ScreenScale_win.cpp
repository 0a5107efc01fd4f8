#include "ScreenScale.h"

#include <QGuiApplication>

// Windows' scales come in steps of 25 % (LogPixels 120, 144, 168, ...): drawn
// exactly as set, not rounded to 100 % or 200 % (which made the panel larger
// than a 1920 x 1080 screen at 150 %). The main window scales the panel down
// where it still does not fit the work area.
void ScreenScale::chooseRounding()
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}
