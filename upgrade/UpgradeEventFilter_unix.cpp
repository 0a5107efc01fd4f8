#include "UpgradeEventFilter.h"

#include "StatusChannel.h"
#include "UpgradeProgram.h"

// Native events here are not window messages: the upgrade program talks through
// the local socket of StatusChannel instead.

void UpgradeEventFilter::openChannel()
{
    m_channel = new StatusChannel(this);
    m_channel->setGate([this](qint64 pid) { return takesFrom(pid); });
    connect(m_channel, &StatusChannel::received, this,
            [this](const QByteArray &bytes, qint32 handle, qint64 pid) { statusArrived(bytes, handle, pid, true); });
    connect(m_channel, &StatusChannel::refused, this,
            [this](const QByteArray &bytes, qint32 handle, qint64 pid) { statusArrived(bytes, handle, pid, false); });
}

void UpgradeEventFilter::setProgram(UpgradeProgram *program)
{
    m_program = program;
    if (m_program)
        m_program->setReportsPossible(m_channel && m_channel->isListening());
}

bool UpgradeEventFilter::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(eventType)
    Q_UNUSED(message)
    Q_UNUSED(result)
    return false;
}

void UpgradeEventFilter::deliver(int handle, const QByteArray &bytes)
{
    if (m_channel)
        m_channel->send(handle, bytes);
}
