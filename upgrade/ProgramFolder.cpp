#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &chosen()
{
    static QString folder;
    return folder;
}
}

QString ProgramFolder::path()
{
    return chosen().isEmpty() ? QCoreApplication::applicationDirPath() : chosen();
}

void ProgramFolder::setPath(const QString &folder)
{
    chosen() = folder.isEmpty() ? QString() : QDir::cleanPath(QDir::fromNativeSeparators(folder));
}
