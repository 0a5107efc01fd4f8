#include "SocketDiag.h"

#include <sys/socket.h>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>

#include <cstring>

namespace SocketDiag {

namespace {

constexpr unsigned kListen = 10;   // TCP_LISTEN, the state of a listening socket

struct Request
{
    nlmsghdr header;
    unix_diag_req body;
};

}

QByteArray listenersRequest(quint32 sequence)
{
    Request request;
    std::memset(&request, 0, sizeof request);
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = sequence;
    request.body.sdiag_family = AF_UNIX;
    request.body.udiag_states = 1u << kListen;
    request.body.udiag_show = UDIAG_SHOW_VFS;
    return QByteArray(reinterpret_cast<const char *>(&request), sizeof request);
}

Scan scan(const QByteArray &datagram, quint64 inode, quint32 device)
{
    // Read with memcpy: the datagram's bytes need not be aligned for the structs.
    const int total = datagram.size();
    int at = 0;
    while (at < total) {
        nlmsghdr header;
        if (total - at < int(sizeof header))
            return Scan::Failed;
        std::memcpy(&header, datagram.constData() + at, sizeof header);
        const int length = int(header.nlmsg_len);
        if (length < int(sizeof header) || length > total - at)
            return Scan::Failed;
        if (header.nlmsg_type == NLMSG_DONE)
            return Scan::End;
        if (header.nlmsg_type == NLMSG_ERROR)
            return Scan::Failed;
        const int body = at + int(NLMSG_HDRLEN);
        if (header.nlmsg_type == SOCK_DIAG_BY_FAMILY && length >= int(NLMSG_LENGTH(sizeof(unix_diag_msg)))) {
            unix_diag_msg message;
            std::memcpy(&message, datagram.constData() + body, sizeof message);
            int attribute = body + int(NLMSG_ALIGN(sizeof message));
            const int end = at + length;
            while (message.udiag_state == kListen && end - attribute >= int(sizeof(rtattr))) {
                rtattr head;
                std::memcpy(&head, datagram.constData() + attribute, sizeof head);
                if (head.rta_len < sizeof head || int(head.rta_len) > end - attribute)
                    break;
                if (head.rta_type == UNIX_DIAG_VFS && head.rta_len >= RTA_LENGTH(sizeof(unix_diag_vfs))) {
                    unix_diag_vfs vfs;
                    std::memcpy(&vfs, datagram.constData() + attribute + RTA_LENGTH(0), sizeof vfs);
                    if (vfs.udiag_vfs_ino == inode && vfs.udiag_vfs_dev == device)
                        return Scan::Found;
                }
                attribute += int(RTA_ALIGN(head.rta_len));
            }
        }
        at += int(NLMSG_ALIGN(length));
    }
    return Scan::More;
}

}
