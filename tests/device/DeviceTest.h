#pragma once

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// What the device tests share: a program folder of their own (config.ini lands
// beside the program) and the debug lines captured for exact comparison.
namespace DeviceTest {

inline QStringList messages;      // every plain message since the last captureMessages()
inline QStringList searchLines;   // the log's account of the searches (category "upvane.search")

inline void captureMessages()
{
    messages.clear();
    searchLines.clear();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &context, const QString &text) {
        (qstrcmp(context.category, "upvane.search") == 0 ? searchLines : messages) << text;
    });
}

inline QString configPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.ini");
}

// Runs this program again as a copy inside a temporary folder; returns its exit code.
inline int runAsCopy(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    const QString copy = folder.path() + QStringLiteral("/program");
    if (!folder.isValid() || !QFile::copy(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")), copy))
        return 2;
    qputenv("UPVANE_TEST_PROGRAM_COPY", "1");
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(copy, app.arguments().mid(1));
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 3;
}

}

#define DEVICE_TEST_MAIN(TestClass)                                  \
    int main(int argc, char **argv)                                  \
    {                                                                \
        if (qEnvironmentVariableIsEmpty("UPVANE_TEST_PROGRAM_COPY")) \
            return DeviceTest::runAsCopy(argc, argv);                \
        QCoreApplication app(argc, argv);                            \
        TestClass test;                                              \
        return QTest::qExec(&test, argc, argv);                      \
    }
