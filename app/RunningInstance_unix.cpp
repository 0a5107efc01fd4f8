#include "RunningInstance.h"

#include "UnixSocketTable.h"

#include <QFile>

bool RunningInstance::isListening(const QString &address)
{
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // The file reports its size as 0: read it to the end.
    return UnixSocketTable::hasListener(table.readAll(), QFile::encodeName(address));
}
