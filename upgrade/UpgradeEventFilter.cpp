#include "UpgradeEventFilter.h"

#include <QDebug>
#include <QTimer>

UpgradeEventFilter::UpgradeEventFilter(QObject *parent)
    : QObject(parent)
{
    openChannel();
}

UpgradeEventFilter::~UpgradeEventFilter() = default;

QVariantMap UpgradeEventFilter::result() const
{
    return m_result;
}

void UpgradeEventFilter::emitResult(int handle)
{
    publish(m_lastStatus, handle);
}

void UpgradeEventFilter::sendDeviceInfo(QString deviceID, int handle)
{
    if (handle == 0) {
        qDebug() << "can't find upgrade tool";
        return;
    }
    deliver(handle, deviceID.toUtf8() + '|');
}

void UpgradeEventFilter::statusArrived(const QByteArray &text, int handle)
{
    // Every counted byte belongs to the text, a NUL included.
    const QString status = QString::fromUtf8(text.constData(), text.size());
    m_lastStatus = status;
    // Each message publishes its own text: two reports within 100 ms must both
    // reach the wizard, in the order they came (the first may end a stage).
    QTimer::singleShot(100, this, [this, status, handle] { publish(status, handle); });
}

void UpgradeEventFilter::publish(const QString &text, int handle)
{
    m_result.insert(QStringLiteral("statsu"), QString(text + QLatin1Char(':') + QString::number(handle, 10)));
    emit statusChanged();
}
