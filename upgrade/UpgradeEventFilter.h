#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantMap>

class StatusChannel;

// The tool's end of the two-way channel with the upgrade program (context
// property "event"). Inbound, every status message is published 100 ms after it
// arrived, as "statsu" = "<its text>:<sender's handle>" in `result`, followed by
// statusChanged; messages are published in the order they arrived, each with its
// own text. Outbound, sendDeviceInfo answers the program behind a handle.
//
// Windows: WM_COPYDATA messages, caught as native events once the object is
// installed on the event dispatcher, and SendMessageW. Elsewhere: the local
// socket of StatusChannel, set up by the constructor.
class UpgradeEventFilter : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap result READ result NOTIFY statusChanged)

public:
    explicit UpgradeEventFilter(QObject *parent = nullptr);
    ~UpgradeEventFilter() override;

    QVariantMap result() const;

    // Catches WM_COPYDATA from the upgrade program. Always returns false: every
    // message goes on to its normal processing, `result` is never set.
    bool nativeEventFilter(const QByteArray &eventType, void *message, long *result) override;

signals:
    void statusChanged();

public slots:
    // Publishes the last status text that arrived with `handle` and emits
    // statusChanged. Never fails.
    void emitResult(int handle);

public:
    // Sends `deviceID` followed by "|" as UTF-8 bytes (no terminator) to the
    // upgrade program behind `handle`. No result: handle 0 logs "can't find
    // upgrade tool" and sends nothing; a handle whose program is gone sends
    // nothing, silently.
    Q_INVOKABLE void sendDeviceInfo(QString deviceID, int handle);

private:
    // A status message from the program behind `handle`: keeps it as the last
    // status text and publishes it, with that handle, 100 ms later.
    void statusArrived(const QByteArray &text, int handle);
    void publish(const QString &text, int handle);
    // The platform parts: setting up the carrier and delivering a reply.
    void openChannel();
    void deliver(int handle, const QByteArray &bytes);

    QVariantMap m_result;
    QString m_lastStatus;
    StatusChannel *m_channel = nullptr;   // the local-socket carrier; unused with window messages
};
