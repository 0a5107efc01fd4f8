#include "ScreenScale.h"

// Qt's own rounding to whole factors: an X server's DPI is often a little off
// 96 (a fake screen's, a monitor's measured size) and would otherwise draw the
// wizard at 102 % or 98 %. QT_SCALE_FACTOR applies exactly all the same, and the
// main window scales the panel down where it does not fit the work area.
void ScreenScale::chooseRounding()
{
}
