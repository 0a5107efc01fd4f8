#include "InstanceAddress.h"

QString InstanceAddress::forName(const QString &serverName)
{
    return serverName;
}
