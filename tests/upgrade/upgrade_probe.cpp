// A small program for the tests whose subject depends on the program folder
// (applicationDirPath): copied into a test's own folder, it runs one call of the
// service objects there and prints the result on standard output.
//   upgrade_probe loadSettings <group> <title>
//   upgrade_probe openReport <name>          prints true or false
#include "ProcessInfo.h"
#include "fileIo.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
    QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
    const QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    QString out;
    if (command == QLatin1String("loadSettings") && args.size() == 3)
        out = fileIo().loadSettings(args.at(1), args.at(2));
    else if (command == QLatin1String("openReport") && args.size() == 2)
        out = ProcessInfo().openReport(args.at(1)) ? QStringLiteral("true") : QStringLiteral("false");
    else
        return 2;
    std::fputs(out.toUtf8().constData(), stdout);
    return 0;
}
