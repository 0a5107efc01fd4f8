#include "HeldFile.h"

#include <QFile>

#include <cstring>

namespace {

constexpr qint64 ChunkBytes = 64 * 1024;

}

bool HeldFile::isHeld() const
{
    return m_handle != -1;
}

QString HeldFile::path() const
{
    return m_path;
}

bool HeldFile::sameBytesAs(const QString &other) const
{
    QFile file(other);
    if (!isHeld() || !file.open(QIODevice::ReadOnly))
        return false;
    QByteArray ours(ChunkBytes, '\0');
    QByteArray theirs(ChunkBytes, '\0');
    for (qint64 offset = 0;;) {
        const qint64 read = readAt(offset, ours.data(), ChunkBytes);
        if (read < 0)
            return false;
        // Read the other file as far as ours went, and one byte further at our end.
        const qint64 wanted = read > 0 ? read : 1;
        const qint64 got = file.read(theirs.data(), wanted);
        if (read == 0)
            return got == 0;
        if (got != read || std::memcmp(ours.constData(), theirs.constData(), size_t(read)) != 0)
            return false;
        offset += read;
    }
}
