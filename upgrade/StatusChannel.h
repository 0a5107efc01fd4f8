#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The tool's end of the status channel with the upgrade program where there are
// no window messages (Linux and the like). The upgrade program finds it here:
//
//   a local (Unix domain) socket named "upvane-status" in the user's runtime
//   folder, QStandardPaths::RuntimeLocation ($XDG_RUNTIME_DIR on Linux), that
//   only the user may reach.
//
// Both sides send StatusFrames. The upgrade program puts its own handle (any
// non-zero number it chooses, its process id for instance) into every frame; the
// peer that announced a handle last is the one that replies to that handle go
// to. The tool's replies carry the handle 0.
//
// A peer that sends anything but frames, or frames above the size bound, is
// disconnected; so is one that lets more than MaxUnreadReplies bytes of replies
// pile up unread. At most MaxPeers peers are served at a time. Nothing here
// blocks.
class StatusChannel : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxPeers = 16;
    static constexpr qint64 MaxUnreadReplies = 64 * 1024;

    // The socket's full path. Never fails; when the platform names no runtime
    // folder it is the bare name and listening fails instead.
    static QString address();

    // Listens at address(). When that name is taken by a listening tool (another
    // instance that runs already) it leaves that one alone and does not listen;
    // a file left over without a listener is replaced.
    explicit StatusChannel(QObject *parent = nullptr);
    ~StatusChannel() override;

    bool isListening() const;

    // Queues a frame with `bytes` for the peer that announced `handle` last.
    // Returns false and sends nothing when no connected peer announced it, when
    // `bytes` exceed StatusFrame::MaxBytes, or when the peer has left too many
    // replies unread (it is then disconnected).
    bool send(qint32 handle, const QByteArray &bytes);

signals:
    // A frame from a peer, in the order frames arrive.
    void received(const QByteArray &bytes, qint32 handle);

private:
    struct Peer
    {
        QByteArray buffer;   // bytes of a frame not yet complete
        qint32 handle = 0;
        bool announced = false;
    };

    void listen();
    void acceptPeers();
    void readPeer(QLocalSocket *socket);
    void dropPeer(QLocalSocket *socket);

    QLocalServer *m_server;
    QHash<QLocalSocket *, Peer> m_peers;
    QHash<qint32, QLocalSocket *> m_byHandle;
};
