#include "LogFile.h"

#include "LogLine.h"
#include "PlatformQuirks.h"

#include <QDir>

LogFile::LogFile(const QString &folder, qint64 limit, int keep)
    : m_folder(folder)
    , m_limit(limit)
    , m_keep(keep)
{
}

QString LogFile::currentPath() const
{
    return m_folder + QLatin1Char('/') + LogLine::fileName(0);
}

bool LogFile::write(const QByteArray &line)
{
    if (!m_file.isOpen() && !open())
        return false;
    const qint64 size = m_file.size();
    if (size > 0 && size + line.size() > m_limit) {
        rotate();
        if (!m_file.isOpen() && !open())
            return false;
    }
    // A line cut off by a failed write (here or in another process) is ended
    // first, in the same write as the new line.
    const QByteArray text = endsInsideLine() ? '\n' + line : line;
    if (m_file.write(text) != text.size()) {
        m_file.close();
        return false;
    }
    return true;
}

bool LogFile::open()
{
    return !m_folder.isEmpty() && QDir().mkpath(m_folder) && PlatformQuirks::openAppendNoFollow(m_file, currentPath());
}

bool LogFile::endsInsideLine()
{
    const qint64 size = m_file.size();
    char last = '\n';
    return size > 0 && m_file.seek(size - 1) && m_file.read(&last, 1) == 1 && last != '\n';
}

void LogFile::rotate()
{
    m_file.close();
    QDir dir(m_folder);
    dir.remove(LogLine::fileName(m_keep));
    for (int i = m_keep - 1; i >= 0; --i) {
        if (dir.exists(LogLine::fileName(i)))
            dir.rename(LogLine::fileName(i), LogLine::fileName(i + 1));
    }
    // Where the rename failed (the file is open elsewhere) the next open appends
    // to the same file and the next line tries again.
}
