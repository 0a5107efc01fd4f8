#include "PlatformQuirks.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QWindow>

#include <cstdio>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace PlatformQuirks {

namespace {

bool goesNowhere(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_UNKNOWN;
}

}

// Windows' scales come in steps of 25 % (LogPixels 120, 144, 168, ...): drawn
// exactly as set, not rounded to 100 % or 200 % (which made the panel larger
// than a 1920 x 1080 screen at 150 %). The main window scales the panel down
// where it still does not fit the work area.
void chooseScaleRounding()
{
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

void applyVersion()
{
    // QCoreApplication::applicationVersion() comes from the VERSIONINFO record.
}

void attachToParentConsole()
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

QString accessHint()
{
    return QStringLiteral(
        "hint: another program may hold the switch open; close other programs that talk to it\n"
        "      and reconnect the switch.\n");
}

void bringToFront(QWindow *window)
{
    if (!window)
        return;
    const HWND handle = reinterpret_cast<HWND>(window->winId());   // the native window exists from here on
    window->showNormal();
    // Topmost and straight back: the window ends above the others without
    // staying always on top.
    SetWindowPos(handle, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(handle, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

bool isListening(const QString &address)
{
    // QLocalServer listens on the pipe \\.\pipe\<address>. Waiting for it does
    // not connect; a pipe whose instances are all busy exists all the same.
    const QString pipe = QStringLiteral("\\\\.\\pipe\\") + address;
    if (WaitNamedPipeW(reinterpret_cast<LPCWSTR>(pipe.utf16()), 1))
        return true;
    return GetLastError() != ERROR_FILE_NOT_FOUND;
}

bool openAppendNoFollow(QFile &file, const QString &path)
{
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then refused.
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return false;
    }
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        return false;
    }
    return true;
}

}
