#include "Command.h"

#include "MessageLog.h"
#include "PlatformQuirks.h"
#include "Probe.h"
#include "ProbeReport.h"
#include "QSingleApplication.h"
#include "UserLocalServer.h"
#include "VersionPolicy.h"

#include <QCoreApplication>
#include <QDebug>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

}

int Command::run(const CommandLine::Options &options, int &argc, char **argv)
{
    PlatformQuirks::attachToParentConsole();
    QCoreApplication app(argc, argv);
    QSingleApplication::setIdentity();
    PlatformQuirks::applyVersion();

    switch (options.mode) {
    case CommandLine::Mode::Help:
        print(stdout, CommandLine::usage());
        return 0;
    case CommandLine::Mode::Version:
        print(stdout, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                   QCoreApplication::applicationVersion()));
        return 0;
    case CommandLine::Mode::Invalid:
    case CommandLine::Mode::Wizard:
        print(stderr, QStringLiteral("upvane: %1\n\n").arg(options.error) + CommandLine::usage());
        return 2;
    case CommandLine::Mode::Probe:
        break;
    }

    MessageLog::setQuiet(true);   // the search's own lines would mix with the report
    ProbeReport report;
    report.program = QCoreApplication::applicationName();
    report.version = QCoreApplication::applicationVersion();
    // Without a private socket folder no wizard can run either: the address stays empty.
    QString noSocketFolder;
    const QString wizardAddress = UserLocalServer::address(QSingleApplication::serverName(), &noSocketFolder);
    Probe::run(wizardAddress, VersionPolicy::settingsPath(), report);
    const int code = report.exitCode();
    qInfo().noquote() << QStringLiteral("probe: exit code %1").arg(code);
    // The search goes to the log too, but a running wizard keeps its log to itself.
    if (!report.wizardRunning)
        MessageLog::open(MessageLog::defaultFolder());

    print(stdout, options.json ? QString::fromUtf8(report.json()) : report.text());
    const QStringList errors = report.errors();
    for (const QString &error : errors)
        print(stderr, QStringLiteral("error: %1\n").arg(error));
    if (report.accessMayHideIt())
        print(stderr, PlatformQuirks::accessHint());
    return code;
}
