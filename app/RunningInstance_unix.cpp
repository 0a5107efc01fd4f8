#include "RunningInstance.h"

#include "SocketDiag.h"

#include <QFile>

#include <linux/netlink.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

bool RunningInstance::isListening(const QString &address)
{
    // The server binds in a private folder and moves its socket file into
    // place, so the file is known to the kernel by its inode, not its name.
    struct stat file {};
    if (::stat(QFile::encodeName(address).constData(), &file) != 0 || !S_ISSOCK(file.st_mode))
        return false;
    const quint32 device = (major(file.st_dev) << 20) | minor(file.st_dev);

    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return false;
    const QByteArray request = SocketDiag::listenersRequest(1);
    sockaddr_nl kernel {};
    kernel.nl_family = AF_NETLINK;
    bool found = false;
    if (::sendto(fd, request.constData(), static_cast<size_t>(request.size()), 0,
                 reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) == request.size()) {
        QByteArray buffer(32768, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::recv(fd, buffer.data(), static_cast<size_t>(buffer.size()), 0);
            if (got <= 0)
                break;
            const SocketDiag::Scan scan = SocketDiag::scan(buffer.left(static_cast<int>(got)), file.st_ino, device);
            if (scan == SocketDiag::Scan::Found)
                found = true;
            if (scan != SocketDiag::Scan::More)
                break;
        }
    }
    ::close(fd);
    return found;
}
