#include "UserLocalServer.h"

#include "SocketFolder.h"

QString UserLocalServer::address(const QString &name, QString *problem)
{
    const QString folder = SocketFolder::path(problem);
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + name;
}
