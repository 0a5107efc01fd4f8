// Runs one call of the service objects whose subject is the program folder
// (applicationDirPath) and prints the result:
//   upgrade_probe loadSettings <group> <title>
//   upgrade_probe openReport <name>          prints true or false
#include "ProcessInfo.h"
#include "fileIo.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
    QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    QString out;
    if (args.value(0) == QLatin1String("loadSettings") && args.size() == 3)
        out = fileIo().loadSettings(args.at(1), args.at(2));
    else if (args.value(0) == QLatin1String("openReport") && args.size() == 2)
        out = ProcessInfo().openReport(args.at(1)) ? QStringLiteral("true") : QStringLiteral("false");
    else
        return 2;
    std::fputs(out.toUtf8().constData(), stdout);
    return 0;
}
