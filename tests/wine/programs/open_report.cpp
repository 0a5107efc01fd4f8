// open-report NAME: calls ProcessInfo::openReport(NAME) as QML would, in a
// program that lies in the program folder like the wizard (so its Report folder
// is the wizard's). The wizard's pages never call it; the Wine tests use this to
// see the text editor start with the report.
// Exit code: 0 when openReport returned true, 1 when it returned false, 2 for a
// wrong command line.
#include "ProcessInfo.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
    QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 2)
        return 2;
    ProcessInfo process;
    return process.openReport(arguments.at(1)) ? 0 : 1;
}
