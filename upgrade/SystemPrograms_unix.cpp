#include "SystemPrograms.h"

#include <QDir>
#include <QFile>

namespace {

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.read(4096);
}

}

bool SystemPrograms::taskList(QByteArray *listing)
{
    QDir proc(QStringLiteral("/proc"));
    if (!proc.exists())
        return false;
    QByteArray names;
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QString base = proc.filePath(entry);
        // The short name is cut at 15 bytes; the first argument carries the whole
        // file name the program was started by.
        const QByteArray shortName = readSmallFile(base + QStringLiteral("/comm")).trimmed();
        QByteArray command = readSmallFile(base + QStringLiteral("/cmdline"));
        const int end = command.indexOf('\0');
        if (end >= 0)
            command.truncate(end);
        command = command.mid(command.lastIndexOf('/') + 1);
        if (shortName.isEmpty() && command.isEmpty())
            continue;   // ended while being listed
        names += shortName + ' ' + command + '\n';
    }
    *listing = names;
    return true;
}

QString SystemPrograms::textEditor()
{
    return QStringLiteral("xdg-open");
}
