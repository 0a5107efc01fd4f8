#pragma once

#include <QByteArray>
#include <QtGlobal>

// Asking the Linux kernel (NETLINK_SOCK_DIAG) which Unix domain sockets listen,
// with the inode and device of the file each is bound to: a server's socket
// file can be told from one left behind without connecting to it. Pure
// functions over the netlink messages, no I/O.
namespace SocketDiag {

// The request: every listening Unix socket, with its file (UDIAG_SHOW_VFS).
QByteArray listenersRequest(quint32 sequence);

enum class Scan {
    More,     // nothing yet, read on
    Found,    // a listening socket is bound to the file
    End,      // the whole answer is read: none is
    Failed,   // the kernel reported an error, or the bytes do not parse
};

// One datagram of the answer, looking for the file with `inode` on `device`
// (the kernel's device number: major << 20 | minor). Never fails.
Scan scan(const QByteArray &datagram, quint64 inode, quint32 device);

}
