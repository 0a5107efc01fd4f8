#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The tool's end of the status channel with the upgrade program where there are
// no window messages (Linux and the like). The upgrade program finds it here:
//
//   a local (Unix domain) socket named "upvane-status" in the user's private
//   socket folder (HostSystem::socketFolder: $XDG_RUNTIME_DIR when it is private).
//
// Both sides send StatusFrames. The upgrade program puts its own handle (any
// non-zero number it chooses, its process id for instance) into every frame.
// Each frame is put to the gate with the process id of the peer that sent it
// (the credentials of its connection); frames the gate refuses are reported as
// refused and bind nothing. Of the taken frames, the peer that announced a
// handle last is the one that replies to that handle go to. The tool's replies
// carry the handle 0. Peers of other users are refused whatever the gate says.
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

    // Decides whether frames from the peer process `pid` are taken.
    using Gate = std::function<bool(qint64 pid)>;

    // The socket's full path; empty when there is no private socket folder.
    static QString address();

    // Listens at address(). When that name is taken by a listening program
    // (another instance that runs already, or a squatter) it leaves that one
    // alone and does not listen; a file left over without a listener is
    // replaced. Not listening is logged as a warning.
    explicit StatusChannel(QObject *parent = nullptr);
    ~StatusChannel() override;

    bool isListening() const;
    // Without a gate every frame of this user's peers is taken.
    void setGate(Gate gate);

    // Queues a frame with `bytes` for the peer that announced `handle` last.
    // Returns false and sends nothing when no connected peer announced it, when
    // `bytes` exceed StatusFrame::MaxBytes, or when the peer has left too many
    // replies unread (it is then disconnected).
    bool send(qint32 handle, const QByteArray &bytes);

signals:
    // A taken frame from the peer process `pid`, in the order frames arrive.
    void received(const QByteArray &bytes, qint32 handle, qint64 pid);
    // A frame that was not taken: nothing is bound, no reply can reach its sender.
    void refused(const QByteArray &bytes, qint32 handle, qint64 pid);

private:
    struct Peer
    {
        QByteArray buffer;   // bytes of a frame not yet complete
        qint32 handle = 0;
        bool announced = false;
        qint64 pid = 0;        // from the connection's credentials; 0 unknown
        bool sameUser = false;
    };

    void listen();
    void acceptPeers();
    void readPeer(QLocalSocket *socket);
    void dropPeer(QLocalSocket *socket);

    QLocalServer *m_server;
    Gate m_gate;
    QHash<QLocalSocket *, Peer> m_peers;
    QHash<qint32, QLocalSocket *> m_byHandle;
};
