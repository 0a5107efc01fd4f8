#include "VersionText.h"

#include <QStringList>

namespace VersionText {

QString shortVersion(const QString &applicationVersion)
{
    const QString head = applicationVersion.left(applicationVersion.lastIndexOf(QLatin1Char('.'), -1, Qt::CaseSensitive));
    const QStringList parts = head.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    // A version with fewer than four parts leaves some of these missing: they
    // read as 0 rather than as text from beyond the list.
    const QString major = parts.value(0).isEmpty() ? QStringLiteral("0") : parts.value(0);
    const int minor = parts.value(1).toInt(nullptr, 10);
    const int build = parts.value(2).toInt(nullptr, 10);
    return QStringLiteral("%1.%2.%3")
        .arg(major, 0, QLatin1Char(' '))
        .arg(minor, 1, 10, QLatin1Char('0'))
        .arg(build, 3, 10, QLatin1Char('0'));
}

}
