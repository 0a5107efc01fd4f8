#include "InstanceAddress.h"

#include "SocketFolder.h"

QString InstanceAddress::forName(const QString &serverName, QString *problem)
{
    const QString folder = SocketFolder::path(problem);
    if (folder.isEmpty())
        return QString();
    return folder + QLatin1Char('/') + serverName;
}
