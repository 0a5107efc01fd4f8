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
    // Copied so that the netlink macros see aligned memory.
    QByteArray bytes = datagram;
    auto *header = reinterpret_cast<nlmsghdr *>(bytes.data());
    int left = bytes.size();
    for (; NLMSG_OK(header, left); header = NLMSG_NEXT(header, left)) {
        if (header->nlmsg_type == NLMSG_DONE)
            return Scan::End;
        if (header->nlmsg_type == NLMSG_ERROR)
            return Scan::Failed;
        if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY || header->nlmsg_len < NLMSG_LENGTH(sizeof(unix_diag_msg)))
            continue;
        const auto *message = static_cast<const unix_diag_msg *>(NLMSG_DATA(header));
        if (message->udiag_state != kListen)
            continue;
        auto *attribute = reinterpret_cast<rtattr *>(const_cast<unix_diag_msg *>(message) + 1);
        int attributes = static_cast<int>(header->nlmsg_len - NLMSG_LENGTH(sizeof(unix_diag_msg)));
        for (; RTA_OK(attribute, attributes); attribute = RTA_NEXT(attribute, attributes)) {
            if (attribute->rta_type != UNIX_DIAG_VFS || RTA_PAYLOAD(attribute) < sizeof(unix_diag_vfs))
                continue;
            unix_diag_vfs vfs;
            std::memcpy(&vfs, RTA_DATA(attribute), sizeof vfs);
            if (vfs.udiag_vfs_ino == inode && vfs.udiag_vfs_dev == device)
                return Scan::Found;
        }
    }
    return left == 0 ? Scan::More : Scan::Failed;
}

}
