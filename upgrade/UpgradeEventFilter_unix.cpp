#include "UpgradeEventFilter.h"

#include "StatusChannel.h"

// Native events here are not window messages: the upgrade program talks through
// the local socket of StatusChannel instead.

void UpgradeEventFilter::openChannel()
{
    m_channel = new StatusChannel(this);
    connect(m_channel, &StatusChannel::received, this,
            [this](const QByteArray &bytes, qint32 handle) { statusArrived(bytes, handle); });
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
    m_channel->send(handle, bytes);
}
