#include "SystemPrograms.h"

#include <QProcess>

bool SystemPrograms::taskList(QByteArray *listing)
{
    QProcess lister;
    lister.start(QStringLiteral("tasklist.exe"), QStringList(), QIODevice::ReadWrite);
    if (!lister.waitForFinished(30000))
        return false;
    *listing = lister.readAll();
    return true;
}

QString SystemPrograms::textEditor()
{
    return QStringLiteral("notepad.exe");
}
