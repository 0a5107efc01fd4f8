// The stand-in for the maker's upgrade program (see README.md). It records how it
// was started, then plays its scenario against the tool's status channel.
#include "Record.h"
#include "Scenario.h"
#include "ToolLink.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>
#include <QVector>

#include <cstdio>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int ReplyTimeoutMs = 60000;
constexpr int HangLimitMs = 10 * 60 * 1000;

QString scenarioText()
{
    const QByteArray own = QByteArrayLiteral("UPVANE_UPGRADER_SCENARIO_") + UPGRADER_VARIANT;
    if (qEnvironmentVariableIsSet(own.constData()))
        return qEnvironmentVariable(own.constData());
    if (qEnvironmentVariableIsSet("UPVANE_UPGRADER_SCENARIO"))
        return qEnvironmentVariable("UPVANE_UPGRADER_SCENARIO");
    return QStringLiteral("normal");
}

qint32 ownHandle()
{
    bool ok = false;
    const qint32 handle = qEnvironmentVariableIntValue("UPVANE_UPGRADER_HANDLE", &ok);
    return ok ? handle : qint32(QCoreApplication::applicationPid());
}

void recordStart(const Record &record, qint32 handle, const QString &scenario)
{
    record.line(QStringLiteral("started"), QStringLiteral(UPGRADER_VARIANT));
    record.line(QStringLiteral("pid"), QString::number(QCoreApplication::applicationPid()));
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    record.line(QStringLiteral("arguments"), QString::number(arguments.size()));
    for (const QString &argument : arguments)
        record.line(QStringLiteral("argument"), argument);
    record.line(QStringLiteral("folder"), QDir::currentPath());
    record.line(QStringLiteral("stdout"), QFile::symLinkTarget(QStringLiteral("/proc/self/fd/1")));
    record.line(QStringLiteral("stderr"), QFile::symLinkTarget(QStringLiteral("/proc/self/fd/2")));
    record.line(QStringLiteral("handle"), QString::number(handle));
    record.line(QStringLiteral("scenario"), scenario);
}

// Starts a copy of this program that plays `scenario`, in our session; its pid or -1.
pid_t startChild(const QString &scenario)
{
    const QByteArray own = QByteArrayLiteral("UPVANE_UPGRADER_SCENARIO_") + UPGRADER_VARIANT;
    qputenv(own.constData(), scenario.toUtf8());
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    QList<QByteArray> arguments;
    for (const QString &argument : QCoreApplication::arguments())
        arguments << argument.toLocal8Bit();
    QVector<char *> argv;
    for (QByteArray &argument : arguments)
        argv << argument.data();
    argv << nullptr;
    pid_t pid = -1;
    return posix_spawn(&pid, program.constData(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Plays the steps; returns the exit code.
int play(const QList<Scenario::Step> &steps, ToolLink &link, const Record &record)
{
    for (const Scenario::Step &step : steps) {
        switch (step.kind) {
        case Scenario::Step::Exit:
            record.line(QStringLiteral("exit"));
            return 0;
        case Scenario::Step::Crash:
            record.line(QStringLiteral("crash"));
            raise(SIGKILL);
            return 1;
        case Scenario::Step::Child:
            record.line(QStringLiteral("child"), QString::number(startChild(step.rest)));
            return 0;
        case Scenario::Step::Pause:
            QThread::msleep(ulong(step.milliseconds));
            break;
        case Scenario::Step::Await: {
            QDeadlineTimer deadline(ReplyTimeoutMs);
            while (!QFile::exists(step.rest) && !deadline.hasExpired())
                QThread::msleep(20);
            break;
        }
        case Scenario::Step::Hang:
            if (!link.open()) {
                record.line(QStringLiteral("no channel"));
                return 1;
            }
            record.line(QStringLiteral("hanging"));
            link.awaitClose(HangLimitMs);
            record.line(QStringLiteral("tool gone"));
            return 0;
        case Scenario::Step::Send: {
            if (!link.open()) {
                record.line(QStringLiteral("no channel"));
                return 1;
            }
            if (!link.send(step.messages)) {
                record.line(QStringLiteral("tool gone"));
                return 1;
            }
            for (const QByteArray &message : step.messages)
                record.bytes(QStringLiteral("sent"), message);
            for (int i = 0; i < step.messages.size(); ++i) {
                const QByteArray &message = step.messages.at(i);
                if (step.raw.value(i) || Scenario::repliesOwed(message) == 0)
                    continue;
                QByteArray reply;
                if (!link.awaitReply(&reply, ReplyTimeoutMs)) {
                    record.line(QStringLiteral("no reply"));
                    return 1;
                }
                record.bytes(QStringLiteral("reply"), reply);
                if (!Scenario::replyFits(message, reply)) {
                    // What the maker's program would do: give up and say so.
                    if (link.send({QByteArrayLiteral("2")}))
                        record.bytes(QStringLiteral("sent"), QByteArrayLiteral("2"));
                    record.line(QStringLiteral("bad reply"));
                    return 1;
                }
            }
            break;
        }
        }
    }
    record.line(QStringLiteral("finished"));
    return 0;
}

}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Noise on both outputs: the tool must discard them.
    std::fprintf(stdout, "%s stand-in: started\n", UPGRADER_VARIANT);
    std::fprintf(stderr, "%s stand-in: started\n", UPGRADER_VARIANT);

    const Record record;
    const qint32 handle = ownHandle();
    const QString scenario = scenarioText();
    recordStart(record, handle, scenario);

    QList<Scenario::Step> steps;
    QString error;
    if (!Scenario::parse(scenario, &steps, &error)) {
        record.line(QStringLiteral("bad scenario"), error);
        return 2;
    }
    ToolLink link(handle);
    return play(steps, link, record);
}
