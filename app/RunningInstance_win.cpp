#include "RunningInstance.h"

#include <windows.h>

bool RunningInstance::isListening(const QString &address)
{
    // QLocalServer listens on the pipe \\.\pipe\<address>. Waiting for it does
    // not connect; a pipe whose instances are all busy exists all the same.
    const QString pipe = QStringLiteral("\\\\.\\pipe\\") + address;
    if (WaitNamedPipeW(reinterpret_cast<LPCWSTR>(pipe.utf16()), 1))
        return true;
    return GetLastError() != ERROR_FILE_NOT_FOUND;
}
