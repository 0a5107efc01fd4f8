#pragma once

#include <QFile>
#include <QString>

// A file opened only where it is itself a regular file: never through a
// symbolic link (Unix) or a reparse point (Windows) in its own name.
class NoFollowFile
{
public:
    // Opens `path` for reading and appending, creating it (readable by its owner
    // only, on Unix) where it is missing, into `file`. Returns false with `file`
    // closed when it is a link or reparse point, not a regular file, or cannot
    // be opened.
    static bool openAppend(QFile &file, const QString &path);
};
