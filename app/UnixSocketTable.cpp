#include "UnixSocketTable.h"

#include <QList>

namespace UnixSocketTable {

namespace {

constexpr unsigned long kAcceptConnections = 0x10000;   // __SO_ACCEPTCON

// Splits off the next blank-separated field of `line` from `at`; -1 when none.
int nextField(const QByteArray &line, int at, QByteArray &field)
{
    while (at < line.size() && line.at(at) == ' ')
        ++at;
    if (at >= line.size())
        return -1;
    const int end = line.indexOf(' ', at);
    field = line.mid(at, end < 0 ? -1 : end - at);
    return end < 0 ? line.size() : end;
}

}

bool hasListener(const QByteArray &table, const QByteArray &path)
{
    if (path.isEmpty())
        return false;
    const QList<QByteArray> lines = table.split('\n');
    for (const QByteArray &line : lines) {
        QByteArray fields[7];
        int at = 0;
        for (QByteArray &field : fields) {
            at = at < 0 ? -1 : nextField(line, at, field);
        }
        if (at < 0 || at >= line.size() || line.at(at) != ' ')
            continue;
        const QByteArray bound = line.mid(at + 1);
        bool ok = false;
        const unsigned long flags = fields[3].toULong(&ok, 16);
        if (ok && (flags & kAcceptConnections) && bound == path)
            return true;
    }
    return false;
}

}
