#include "SocketFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
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

}

QString SocketFolder::path(QString *problem)
{
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && whyNotPrivate(runtime).isEmpty())
        return QDir::cleanPath(runtime);

    const QString own = QDir::tempPath() + QStringLiteral("/upvane-") + QString::number(geteuid());
    if (mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) {
        if (problem)
            *problem = QStringLiteral("%1 cannot be made: %2").arg(own, QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    const QString why = whyNotPrivate(own);
    if (!why.isEmpty()) {
        if (problem)
            *problem = QStringLiteral("%1 is not private (%2)").arg(own, why);
        return QString();
    }
    return own;
}
