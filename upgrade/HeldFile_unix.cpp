#include "HeldFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

HeldFile::HeldFile(const QString &path)
    : m_path(path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        m_handle = fd;
}

HeldFile::~HeldFile()
{
    if (isHeld())
        ::close(int(m_handle));
}

QString HeldFile::startPath() const
{
    // The kernel opens the descriptor's own file when it starts this path (an
    // executable, not a script: the descriptor is closed on exec).
    return isHeld() ? QStringLiteral("/proc/self/fd/%1").arg(m_handle) : m_path;
}

qint64 HeldFile::readAt(qint64 offset, char *data, qint64 size) const
{
    for (;;) {
        const ssize_t read = ::pread(int(m_handle), data, size_t(size), off_t(offset));
        if (read >= 0 || errno != EINTR)
            return read;
    }
}
