#include "WindowRaiser.h"

#include <QWindow>

void WindowRaiser::bringToFront(QWindow *window)
{
    // One raise and an activation request; no stay-on-top flag is ever set, so
    // other windows may cover it again afterwards.
    window->raise();
    window->requestActivate();
}
