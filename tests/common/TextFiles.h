#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

// Reading and writing the small text files of the tests and of the test equipment's records.
namespace TextFiles {

inline bool write(const QString &path, const QString &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
}

// The file's non-empty lines; none when it cannot be read.
inline QStringList lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
