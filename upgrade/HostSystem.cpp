#include "HostSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {

QString &chosenProgramFolder()
{
    static QString folder;
    return folder;
}

}

QString HostSystem::programFolder()
{
    const QString &chosen = chosenProgramFolder();
    return chosen.isEmpty() ? QCoreApplication::applicationDirPath() : chosen;
}

void HostSystem::setProgramFolder(const QString &folder)
{
    chosenProgramFolder() = folder.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(folder));
}

QString HostSystem::appDataFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!QDir(folder).exists())
        QDir().mkpath(folder);
    return folder;
}
