// The stand-in for the maker's upgrade program, on systems without window
// messages (see README.md): the facts of its start as Qt sees them, then StandIn.
#include "StandIn.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Noise on both outputs: the tool must discard them.
    std::fprintf(stdout, "%s stand-in: started\n", UPGRADER_VARIANT);
    std::fprintf(stderr, "%s stand-in: started\n", UPGRADER_VARIANT);

    StandIn::Launch launch;
    launch.variant = UPGRADER_VARIANT;
    for (const QString &argument : QCoreApplication::arguments().mid(1))
        launch.arguments.push_back(argument.toStdString());
    launch.processId = QCoreApplication::applicationPid();
    launch.folder = QDir::currentPath().toStdString();
    launch.output = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/1")).toStdString();
    launch.errors = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/2")).toStdString();
    launch.environment = [](const std::string &name) -> std::optional<std::string> {
        if (!qEnvironmentVariableIsSet(name.c_str()))
            return std::nullopt;
        return qEnvironmentVariable(name.c_str()).toStdString();
    };
    return StandIn::run(launch);
}
