#include "HeldFile.h"

#include <QDir>

#include <qt_windows.h>

HeldFile::HeldFile(const QString &path)
    : m_path(path)
{
    // Others may read it (and so start it), not write, rename or delete it.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                      GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        m_handle = reinterpret_cast<qintptr>(handle);
}

HeldFile::~HeldFile()
{
    if (isHeld())
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

QString HeldFile::startPath() const
{
    return m_path;   // the name cannot change hands while the file is held
}

qint64 HeldFile::readAt(qint64 offset, char *data, qint64 size) const
{
    OVERLAPPED at;
    ZeroMemory(&at, sizeof at);
    at.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD read = 0;
    if (ReadFile(reinterpret_cast<HANDLE>(m_handle), data, DWORD(size), &read, &at))
        return qint64(read);
    return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
}
