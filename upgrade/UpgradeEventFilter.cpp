#include "UpgradeEventFilter.h"

#include "StatusCode.h"
#include "UpgradeProgram.h"

#include <QDebug>
#include <QTimer>

UpgradeEventFilter::UpgradeEventFilter(QObject *parent, Channel channel)
    : QObject(parent)
{
    if (channel == Channel::Open)
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

bool UpgradeEventFilter::takesFrom(qint64 pid) const
{
    return m_program && m_program->owns(pid);
}

void UpgradeEventFilter::statusArrived(const QByteArray &text, int handle, qint64 pid, bool taken)
{
    // Every counted byte belongs to the text, a NUL included.
    const QString status = QString::fromUtf8(text.constData(), text.size());
    // One arg() for all: a "%" of the encoded text must not take the next value.
    const QString encoded = QString::fromLatin1(text.toPercentEncoding(" "));
    if (!taken) {
        qInfo().noquote() << QStringLiteral("Status \"%1\" from process %2 (handle %3) ignored: not the upgrade program of this stage")
                                 .arg(encoded, QString::number(pid), QString::number(handle));
        return;
    }
    qInfo().noquote() << QStringLiteral("Status \"%1\" from upgrade program process %2 (handle %3) taken")
                             .arg(encoded, QString::number(pid), QString::number(handle));
    if (StatusCode::isFinal(status))
        m_program->reportFinished();
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
