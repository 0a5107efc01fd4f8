#include "UserLocalServer.h"

QString UserLocalServer::address(const QString &name, QString *problem)
{
    Q_UNUSED(problem)
    return name;
}
