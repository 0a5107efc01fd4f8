#pragma once

#include <QString>

// A file kept open from construction to destruction, so that the bytes checked
// are the bytes started. Windows: opened without write or delete sharing, so
// nobody can change, replace, rename or remove it meanwhile. Elsewhere: the open
// descriptor keeps the very file even when its name is given to another one, and
// startPath() names that file through the descriptor.
class HeldFile
{
public:
    // Opens `path`; isHeld() tells whether that worked.
    explicit HeldFile(const QString &path);
    // Lets the file go.
    ~HeldFile();
    HeldFile(const HeldFile &) = delete;
    HeldFile &operator=(const HeldFile &) = delete;

    bool isHeld() const;
    QString path() const;
    // Whether the held file's bytes equal those of the file at `other`. false when
    // either cannot be read whole.
    bool sameBytesAs(const QString &other) const;
    // The path to start the held file by, whatever its name names by then. The
    // path itself when the file is not held.
    QString startPath() const;

private:
    // Reads up to `size` bytes at `offset` of the held file; the count read, 0 at
    // its end, -1 on failure.
    qint64 readAt(qint64 offset, char *data, qint64 size) const;

    QString m_path;
    qintptr m_handle = -1;   // the platform's handle; -1 when not held
};
