#include "AppDataFolder.h"

#include <QDir>
#include <QStandardPaths>

QString AppDataFolder::path()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!QDir(folder).exists())
        QDir().mkpath(folder);
    return folder;
}
