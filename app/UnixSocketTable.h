#pragma once

#include <QByteArray>

// The kernel's table of Unix domain sockets (/proc/net/unix) as text. Pure
// functions, no I/O.
namespace UnixSocketTable {

// True when `table` has a listening socket (flag __SO_ACCEPTCON, 0x10000) bound
// to exactly `path`. A line is "Num RefCount Protocol Flags Type St Inode Path";
// the path is everything after the seventh field and may hold blanks. Lines that
// do not parse are skipped. Never fails.
bool hasListener(const QByteArray &table, const QByteArray &path);

}
