#include "UpgradeProgram.h"

#include "HeldFile.h"

#include <QDebug>
#include <QFileInfo>

namespace {

// How often the program's processes are looked for, and how many looks in a row
// must find none: a program that sends its final report and ends at once must
// have its report read from the channel before its end counts.
constexpr int PollMs = 500;
constexpr int GoneLooks = 3;

// The system's reason as a sentence: "Permission denied" -> "Permission denied.".
QString asSentence(const QString &reason)
{
    const QString text = reason.trimmed();
    if (text.isEmpty())
        return QStringLiteral("The system gave no reason.");
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

}

UpgradeProgram::UpgradeProgram(QObject *parent)
    : QObject(parent)
{
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &UpgradeProgram::poll);
}

UpgradeProgram::~UpgradeProgram() = default;

bool UpgradeProgram::start(const QString &program, const QStringList &arguments, const QString &folder)
{
    stopAwaiting();
    m_native.reset();
    m_error.clear();
    // The held copy, if this is it, stays held until its process has started.
    std::unique_ptr<HeldFile> held;
    if (m_heldCopy && m_heldCopy->path() == program)
        held = std::move(m_heldCopy);
    m_heldCopy.reset();
    const QString command = (QStringList{program} + arguments).join(QLatin1Char(' '));
    if (!m_reportsPossible)
        return fail(QStringLiteral("The wizard's channel for its reports could not be opened."),
                    QStringLiteral("Upgrade program not started, the status channel does not listen: %1").arg(program));
    if (held && !held->sameBytesAs(m_shipped))
        return fail(QStringLiteral("%1 is not the shipped program.").arg(QFileInfo(program).fileName()),
                    QStringLiteral("Upgrade program not started: %1 is not %2 (%3)")
                        .arg(program, m_shipped, held->isHeld() ? QStringLiteral("its bytes differ")
                                                                 : QStringLiteral("it could not be held")));
    QString error;
    m_native.reset(launch(program, held ? held->startPath() : program, arguments, folder, &error));
    if (!m_native)
        return fail(asSentence(error), QStringLiteral("Upgrade program could not be started: %1: %2").arg(command, error));
    qInfo().noquote() << QStringLiteral("Upgrade program started: %1, process %2").arg(command).arg(processId(m_native.get()));
    m_awaited = true;
    m_goneSeen = 0;
    m_poll.start();
    return true;
}

QString UpgradeProgram::error() const
{
    return m_error;
}

void UpgradeProgram::holdCopy(const QString &copy, const QString &shipped)
{
    m_heldCopy = std::make_unique<HeldFile>(copy);
    m_shipped = shipped;
}

void UpgradeProgram::releaseCopy()
{
    m_heldCopy.reset();
}

bool UpgradeProgram::fail(const QString &sentence, const QString &logLine)
{
    m_error = sentence;
    qWarning().noquote() << logLine;
    return false;
}

bool UpgradeProgram::isAwaited() const
{
    return m_awaited;
}

bool UpgradeProgram::owns(qint64 pid) const
{
    return m_awaited && m_native && pid > 0 && belongs(m_native.get(), pid);
}

void UpgradeProgram::reportFinished()
{
    if (!m_awaited)
        return;
    qInfo().noquote() << QStringLiteral("Upgrade program %1 gave its final report").arg(processId(m_native.get()));
    stopAwaiting();
}

void UpgradeProgram::setReportsPossible(bool possible)
{
    m_reportsPossible = possible;
}

void UpgradeProgram::poll()
{
    if (!m_native)
        return;
    const bool ended = startedEnded(m_native.get());
    if (!m_awaited) {
        if (ended)
            m_poll.stop();   // its end has been collected and logged: nothing left to watch
        return;
    }
    if (!ended || othersAlive(m_native.get())) {
        m_goneSeen = 0;
        return;
    }
    if (++m_goneSeen < GoneLooks)
        return;
    qWarning().noquote() << QStringLiteral("Upgrade program %1 ended without a final report")
                                .arg(processId(m_native.get()));
    stopAwaiting();
    m_poll.stop();
    emit endedWithoutReport(endOf(m_native.get()));
}

void UpgradeProgram::stopAwaiting()
{
    m_awaited = false;
    m_goneSeen = 0;
    // The poll goes on until the started process has ended and its end has been
    // logged; then it stops by itself.
}
