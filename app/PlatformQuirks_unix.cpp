#include "PlatformQuirks.h"

#include <QCoreApplication>
#include <QFile>
#include <QWindow>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PlatformQuirks {

// Qt's own rounding to whole factors: an X server's DPI is often a little off
// 96 (a fake screen's, a monitor's measured size) and would otherwise draw the
// wizard at 102 % or 98 %. QT_SCALE_FACTOR applies exactly all the same, and the
// main window scales the panel down where it does not fit the work area.
void chooseScaleRounding()
{
}

void applyVersion()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(UPVANE_VERSION));
}

void attachToParentConsole()
{
}

QString accessHint()
{
    return QStringLiteral(
        "hint: the program needs read and write access to the switch's /dev/hidraw node. As root,\n"
        "      give the logged-in user access to it alone with a udev rule in\n"
        "      /etc/udev/rules.d/70-rt48px.rules (the vendor id from lsusb):\n"
        "        SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"<vendor id>\", TAG+=\"uaccess\"\n"
        "      then run: udevadm control --reload && udevadm trigger, and reconnect the switch\n"
        "      (README, \"With a real RT48PX on Linux\").\n");
}

void bringToFront(QWindow *window)
{
    if (!window)
        return;
    // One raise and an activation request; no stay-on-top flag is ever set, so
    // other windows may cover it again afterwards.
    window->showNormal();
    window->raise();
    window->requestActivate();
}

bool isListening(const QString &address)
{
    // The kernel lists every Unix socket with the name it was bound to; a
    // listening one has the flag __SO_ACCEPTCON (00010000). A user-only server
    // binds in a hidden folder beside its address ("<folder>/.XXXXXX/s") and
    // moves the socket file into place, so it is known by that name. The wizard
    // is the only program that listens in its private socket folder.
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!QFile::exists(address) || !table.open(QIODevice::ReadOnly))
        return false;
    // Compared with blanks simplified: a name is the columns after the seventh.
    const QByteArray name = QFile::encodeName(address).simplified();
    const QByteArray folder = name.left(name.lastIndexOf('/') + 1);
    table.readLine();   // the column heads
    for (QByteArray line = table.readLine(); !line.isEmpty(); line = table.readLine()) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        const QByteArray path = fields.mid(7).join(' ');
        const bool moved = path.startsWith(folder + '.') && path.endsWith("/s") && path.count('/') == folder.count('/') + 1;
        if (fields.value(3) == "00010000" && (path == name || moved))
            return true;
    }
    return false;
}

bool openAppendNoFollow(QFile &file, const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)
        || !file.open(fd, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
}

}
