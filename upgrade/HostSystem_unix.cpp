#include "HostSystem.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Empty when `folder` is a real folder (no link) of this user that grants no
// one else any right; otherwise why not.
QString whyNotPrivate(const QString &folder)
{
    struct stat info;
    if (lstat(QFile::encodeName(folder).constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("not a folder");
    if (info.st_uid != geteuid())
        return QStringLiteral("owned by user %1").arg(info.st_uid);
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        return QStringLiteral("mode %1 lets others in").arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
    return QString();
}

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.read(4096);
}

}

QString HostSystem::socketFolder(QString *problem)
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && whyNotPrivate(runtime).isEmpty())
        return QDir::cleanPath(runtime);

    const QString own = QDir::tempPath() + QStringLiteral("/upvane-") + QString::number(geteuid());
    QString why;
    if (mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST)
        why = QStringLiteral("%1 cannot be made: %2").arg(own, QString::fromLocal8Bit(std::strerror(errno)));
    else if (const QString notPrivate = whyNotPrivate(own); !notPrivate.isEmpty())
        why = QStringLiteral("%1 is not private (%2)").arg(own, notPrivate);
    if (why.isEmpty())
        return own;
    if (problem)
        *problem = why;
    return QString();
}

bool HostSystem::taskList(QByteArray *listing)
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

QString HostSystem::textEditor()
{
    return QStringLiteral("xdg-open");
}

bool HostSystem::deviceNodeLingers(const char *path)
{
    const int fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;   // hid_open_path fails cleanly on its own open
    int size = 0;
    const bool answers = ::ioctl(fd, HIDIOCGRDESCSIZE, &size) >= 0;
    ::close(fd);
    return !answers;
}
