#pragma once

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariantMap>

class StatusChannel;
class UpgradeProgram;

// The tool's end of the two-way channel with the upgrade program (context
// property "event"). Inbound, every status message is published 100 ms after it
// arrived, as "statsu" = "<its text>:<sender's handle>" in `result`, followed by
// statusChanged; messages are published in the order they arrived, each with its
// own text. Outbound, sendDeviceInfo answers the program behind a handle.
//
// Only the upgrade program of the stage is heard (setProgram): a status is taken
// while that program is awaited, from one of its processes, up to and including
// its final report (0, 1 or 2). Every other status is logged and dropped: it is
// not published and no reply can reach its sender.
//
// Windows: WM_COPYDATA messages, caught as native events once the object is
// installed on the event dispatcher, whose sender is the process owning the
// window in wParam; a message with wParam 0 names no sender and is taken from
// whoever sends it while the program is awaited; replies by SendMessageTimeoutW. Elsewhere: the local socket
// of StatusChannel, set up by the constructor, whose sender is the peer process
// of the connection.
class UpgradeEventFilter : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap result READ result NOTIFY statusChanged)

public:
    // Channel::None: no status channel at all, for a later instance that only
    // hands over to the running one and has no use for it.
    enum class Channel { Open, None };
    explicit UpgradeEventFilter(QObject *parent = nullptr, Channel channel = Channel::Open);
    ~UpgradeEventFilter() override;

    QVariantMap result() const;

    // The program whose reports are taken; none (nothing is taken) until set.
    // Tells it whether the channel can carry reports at all. Not owned.
    void setProgram(UpgradeProgram *program);

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
    // nothing, silently; a program that does not take the message within 5 s
    // (Windows) is logged and left.
    Q_INVOKABLE void sendDeviceInfo(QString deviceID, int handle);

private:
    // A status message from the process `pid` behind `handle`, `taken` when it
    // comes from the awaited program: logs it; a taken one is kept as the last
    // status text and published, with that handle, 100 ms later, and a final
    // report ends the program's turn.
    void statusArrived(const QByteArray &text, int handle, qint64 pid, bool taken);
    bool takesFrom(qint64 pid) const;
    void publish(const QString &text, int handle);
    // The platform parts: setting up the carrier and delivering a reply.
    void openChannel();
    void deliver(int handle, const QByteArray &bytes);

    QVariantMap m_result;
    QString m_lastStatus;
    StatusChannel *m_channel = nullptr;   // the local-socket carrier; unused with window messages
    UpgradeProgram *m_program = nullptr;
};
