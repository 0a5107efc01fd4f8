#include "WindowRaiser.h"

#include <QWindow>

#include <windows.h>

void WindowRaiser::bringToFront(QWindow *window)
{
    const HWND handle = reinterpret_cast<HWND>(window->winId());
    // Topmost and straight back: the window ends above the others without
    // staying always on top.
    SetWindowPos(handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(handle, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
