#include "Console.h"

#include <cstdio>

#include <windows.h>

namespace {

bool goesNowhere(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_UNKNOWN;
}

}

void Console::attachToParent()
{
    // Output redirected to a file or a pipe is inherited and works as it is.
    const bool out = goesNowhere(STD_OUTPUT_HANDLE);
    const bool err = goesNowhere(STD_ERROR_HANDLE);
    if (!out && !err)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    SetConsoleOutputCP(CP_UTF8);
    if (out)
        std::freopen("CONOUT$", "w", stdout);
    if (err)
        std::freopen("CONOUT$", "w", stderr);
}

QString Console::accessHint()
{
    return QStringLiteral(
        "hint: another program may hold the switch open; close other programs that talk to it\n"
        "      and reconnect the switch.\n");
}
