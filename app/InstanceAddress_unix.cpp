#include "InstanceAddress.h"

#include <QStandardPaths>

QString InstanceAddress::forName(const QString &serverName)
{
    // The runtime folder belongs to the user alone (mode 0700), unlike the
    // shared temporary folder where a bare name would end up.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return serverName;
    return runtime + QLatin1Char('/') + serverName;
}
