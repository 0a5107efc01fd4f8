#include "UpgradeProgram.h"

#include <QDebug>

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
    if (!m_reportsPossible) {
        m_error = QStringLiteral("The wizard's channel for its reports could not be opened.");
        qWarning().noquote() << QStringLiteral("Upgrade program not started, the status channel does not listen: %1")
                                    .arg(program);
        return false;
    }
    QString error;
    m_native.reset(launch(program, arguments, folder, &error));
    if (!m_native) {
        qWarning().noquote() << QStringLiteral("Upgrade program could not be started: %1 %2: %3")
                                    .arg(program, arguments.join(QLatin1Char(' ')), error);
        m_error = asSentence(error);
        return false;
    }
    qInfo().noquote() << QStringLiteral("Upgrade program started: %1 %2, process %3")
                             .arg(program, arguments.join(QLatin1Char(' ')))
                             .arg(processId(m_native.get()));
    m_awaited = true;
    m_goneSeen = 0;
    m_poll.start();
    return true;
}

QString UpgradeProgram::error() const
{
    return m_error;
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
