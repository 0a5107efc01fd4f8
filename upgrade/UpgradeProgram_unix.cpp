#include "UpgradeProgram.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QVector>

#include <cerrno>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

// The program leads a session of its own (POSIX_SPAWN_SETSID): its session id is
// its process id, and every process it starts stays in that session unless it
// leaves on purpose. It is our child, so its end is reaped here; it is not tied
// to us otherwise and runs on after we exit.
struct UpgradeProgram::Native
{
    pid_t pid = 0;         // the started process, the session's leader
    bool reaped = false;   // its end has been collected
    QString end;           // how it ended, once reaped
};

namespace {

// Children whose program was forgotten before they ended: reaped when seen.
QVector<pid_t> &forgottenChildren()
{
    static QVector<pid_t> children;
    return children;
}

void reapForgotten()
{
    auto &children = forgottenChildren();
    for (int i = children.size() - 1; i >= 0; --i) {
        int status = 0;
        const pid_t result = waitpid(children[i], &status, WNOHANG);
        if (result == children[i] || (result < 0 && errno == ECHILD))
            children.removeAt(i);
    }
}

QString describeEnd(int status)
{
    if (WIFEXITED(status))
        return QStringLiteral("exit code %1").arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return QStringLiteral("signal %1").arg(WTERMSIG(status));
    return QStringLiteral("status %1").arg(status);
}

// Whether a process other than a zombie is in session `session`: field 6 of
// /proc/<pid>/stat, after the name in parentheses (which may hold anything).
bool sessionHasMembers(pid_t session)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isPid = false;
        entry.toInt(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            continue;
        const QByteArray line = stat.read(1024);
        const int nameEnd = line.lastIndexOf(')');
        if (nameEnd < 0)
            continue;
        // state ppid pgrp session
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (fields.size() < 4 || fields[0] == "Z" || fields[0] == "X")
            continue;
        if (fields[3].toLongLong() == session)
            return true;
    }
    return false;
}

}

void UpgradeProgram::NativeDeleter::operator()(Native *native) const
{
    if (native && !native->reaped)
        forgottenChildren().append(native->pid);
    delete native;
}

UpgradeProgram::Native *UpgradeProgram::launch(const QString &program, const QString &image,
                                               const QStringList &arguments, const QString &folder, QString *error)
{
    reapForgotten();
    const QByteArray path = QFile::encodeName(program);
    const QByteArray file = QFile::encodeName(image);
    QList<QByteArray> encoded{path};
    for (const QString &argument : arguments)
        encoded << argument.toLocal8Bit();
    QVector<char *> argv;
    for (QByteArray &argument : encoded)
        argv << argument.data();
    argv << nullptr;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY | O_TRUNC, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY | O_TRUNC, 0);
    const QByteArray directory = QFile::encodeName(folder);
    posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
    // A session of its own, and the default handling of every signal it may be
    // sent, as a freshly started program expects.
    sigset_t all;
    sigfillset(&all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = 0;
    const int result = posix_spawn(&pid, file.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        *error = QString::fromLocal8Bit(std::strerror(result));
        return nullptr;
    }
    auto *native = new Native;
    native->pid = pid;
    return native;
}

bool UpgradeProgram::startedEnded(Native *native)
{
    reapForgotten();
    if (native->reaped)
        return true;
    int status = 0;
    const pid_t result = waitpid(native->pid, &status, WNOHANG);
    if (result == 0)
        return false;
    native->reaped = true;
    if (result == native->pid) {
        native->end = describeEnd(status);
        qInfo().noquote() << QStringLiteral("Upgrade program %1 ended: %2").arg(native->pid).arg(native->end);
    }
    return true;
}

bool UpgradeProgram::othersAlive(Native *native)
{
    return sessionHasMembers(native->pid);
}

bool UpgradeProgram::belongs(Native *native, qint64 pid)
{
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return getsid(pid_t(pid)) == native->pid;
}

qint64 UpgradeProgram::processId(const Native *native)
{
    return native ? native->pid : 0;
}

QString UpgradeProgram::endOf(const Native *native)
{
    return native ? native->end : QString();
}
