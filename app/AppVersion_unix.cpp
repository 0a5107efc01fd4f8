#include "AppVersion.h"

#include <QCoreApplication>

void AppVersion::apply()
{
    QCoreApplication::setApplicationVersion(QStringLiteral(UPVANE_VERSION));
}
