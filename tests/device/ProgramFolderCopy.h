#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

// Runs the test program again as a copy inside a temporary program folder, so
// that QCoreApplication::applicationDirPath() (and with it config.ini) is the
// test's own and never the build folder. Call first thing in main():
//     if (ProgramFolderCopy::needed()) return ProgramFolderCopy::run(argc, argv);
namespace ProgramFolderCopy {

inline const char *marker() { return "UPVANE_TEST_PROGRAM_COPY"; }

inline bool needed()
{
    return qEnvironmentVariableIsEmpty(marker());
}

inline int run(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString self = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const QString copy = folder.path() + QStringLiteral("/program");
    if (!folder.isValid() || !QFile::copy(self, copy))
        return 2;
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(marker()), QStringLiteral("1"));
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(copy, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return 3;
    return process.exitCode();
}

}
