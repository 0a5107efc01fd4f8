#include "InstanceAddress.h"

QString InstanceAddress::forName(const QString &serverName, QString *problem)
{
    Q_UNUSED(problem)
    return serverName;
}
