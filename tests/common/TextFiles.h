#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// Reading and writing the small files of the tests and of the test equipment's records.
namespace TextFiles {

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline bool write(const QString &path, const QString &text)
{
    return write(path, text.toUtf8());
}

// The file's bytes; none when it cannot be read.
inline QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file's non-empty lines, NULs kept; none when it cannot be read.
inline QStringList lines(const QString &path)
{
    const QByteArray bytes = contents(path);
    return QString::fromUtf8(bytes.constData(), bytes.size()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The index of the first entry at or after `from` that starts with `prefix`, or -1.
inline int indexOfPrefix(const QStringList &list, const QString &prefix, int from = 0)
{
    for (int i = from; i < list.size(); ++i) {
        if (list[i].startsWith(prefix))
            return i;
    }
    return -1;
}

}
