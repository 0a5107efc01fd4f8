#include "LogFile.h"

#include "LogLine.h"

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
    if (m_broken)
        return false;
    if (!m_file.isOpen() && !open())
        return false;
    const qint64 size = m_file.size();
    if (size > 0 && size + line.size() > m_limit) {
        rotate();
        if (!m_file.isOpen() && !open())
            return false;
    }
    if (m_file.write(line) != line.size() || !m_file.flush()) {
        m_file.close();
        m_broken = true;
        return false;
    }
    return true;
}

bool LogFile::open()
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        m_broken = true;
        return false;
    }
    m_file.setFileName(currentPath());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_broken = true;
        return false;
    }
    return true;
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
