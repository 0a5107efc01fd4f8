#pragma once

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Reading and writing the small files of the tests and of the test equipment's records.
namespace TextFiles {

inline bool write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline bool write(const QString &path, const QString &text) { return write(path, text.toUtf8()); }

// ASCII text in UTF-16 little-endian, with or without the byte-order mark.
inline QByteArray utf16(const QByteArray &ascii, bool mark)
{
    QByteArray bytes = mark ? QByteArray("\xff\xfe") : QByteArray();
    for (char c : ascii)
        bytes += QByteArray(1, c) + '\0';
    return bytes;
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

// The feature reports of a device transcript (emulator/device/README.md), in
// order, each as "PATH send|get ID LENGTH RESULT" with ID the report id in hex:
// "/dev/hidraw1 send a2 8 8". The emulated device refuses a wrong byte (RESULT -1).
inline QStringList reports(const QString &path)
{
    static const QRegularExpression report(QStringLiteral("^device -?\\d+ (\\S+ \\S+) length (\\d+) result (-?\\d+): (\\S+)"));
    QStringList found;
    for (const QString &line : lines(path)) {
        const QRegularExpressionMatch match = report.match(line);
        if (match.hasMatch())
            found << QStringList{match.captured(1), match.captured(4), match.captured(2), match.captured(3)}.join(QLatin1Char(' '));
    }
    return found;
}

// The index of the first entry at or after `from` that starts with `prefix`, or -1.
inline int indexOfPrefix(const QStringList &list, const QString &prefix, int from = 0)
{
    for (int i = from; i < list.size(); ++i)
        if (list[i].startsWith(prefix))
            return i;
    return -1;
}

}
