#include "MessageLog.h"

#include "LogFile.h"
#include "LogLine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMutex>
#include <QStandardPaths>

#include <memory>

namespace {

constexpr int kMaxPending = 500;

struct State
{
    QRecursiveMutex mutex;
    QtMessageHandler previous = nullptr;
    std::unique_ptr<LogFile> file;
    QByteArrayList pending;
    bool writing = false;
    bool quiet = false;   // a message raised while writing is not logged again
};

// Never destroyed: messages may still come while static objects are torn down.
State &state()
{
    static State *s = new State;
    return *s;
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    State &s = state();
    bool quiet = false;
    {
        QMutexLocker lock(&s.mutex);
        quiet = s.quiet;
        if (!s.writing) {
            s.writing = true;
            const QByteArray line = LogLine::format(QDateTime::currentDateTime(), QCoreApplication::applicationPid(),
                                                    type, context.category, text);
            if (s.file)
                s.file->write(line);
            else if (s.pending.size() < kMaxPending)
                s.pending << line;
            s.writing = false;
        }
    }
    const bool chatter = type == QtDebugMsg || type == QtInfoMsg;
    if (s.previous && !(chatter && quiet))
        s.previous(type, context, text);
}

}

void MessageLog::install()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.previous)
        s.previous = qInstallMessageHandler(handler);
}

void MessageLog::open(const QString &folder)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.file = std::make_unique<LogFile>(folder);
    for (const QByteArray &line : qAsConst(s.pending))
        s.file->write(line);
    s.pending.clear();
}

void MessageLog::setQuiet(bool quiet)
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    s.quiet = quiet;
}

QString MessageLog::folder()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.file ? s.file->folder() : QString();
}

QString MessageLog::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/logs");
}
