#include "HostSystem.h"

#include <QProcess>

QString HostSystem::socketFolder(QString *problem)
{
    Q_UNUSED(problem)
    return QString();
}

bool HostSystem::taskList(QByteArray *listing)
{
    QProcess lister;
    lister.start(QStringLiteral("tasklist.exe"), QStringList(), QIODevice::ReadWrite);
    if (!lister.waitForFinished(30000))
        return false;
    *listing = lister.readAll();
    return true;
}

QString HostSystem::textEditor()
{
    return QStringLiteral("notepad.exe");
}

bool HostSystem::deviceNodeLingers(const char *)
{
    // hidapi's Windows paths are interface names; its open has no such fault.
    return false;
}
