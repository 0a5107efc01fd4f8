#include "StatusChannel.h"

#include "StatusFrame.h"
#include "UserLocalServer.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

const QString kName = QStringLiteral("upvane-status");

// The peer's process and whether it runs as this user, from the credentials the
// kernel recorded when it connected.
void peerCredentials(const QLocalSocket *socket, qint64 *pid, bool *sameUser)
{
    struct ucred credentials;
    socklen_t size = sizeof credentials;
    if (getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0
        || size != sizeof credentials)
        return;
    *pid = credentials.pid;
    *sameUser = credentials.uid == geteuid();
}

}

QString StatusChannel::address()
{
    return UserLocalServer::address(kName);
}

StatusChannel::StatusChannel(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    m_server->setMaxPendingConnections(MaxPeers);
    connect(m_server, &QLocalServer::newConnection, this, &StatusChannel::acceptPeers);
    listen();
}

StatusChannel::~StatusChannel()
{
    // The peers are children of the server and go with it; none of them may call
    // back into this half-destroyed object on its way out.
    for (auto peer = m_peers.cbegin(); peer != m_peers.cend(); ++peer)
        peer.key()->disconnect(this);
    delete m_server;
}

bool StatusChannel::isListening() const
{
    return m_server->isListening();
}

void StatusChannel::setGate(Gate gate)
{
    m_gate = std::move(gate);
}

void StatusChannel::listen()
{
    QString problem;
    const QString name = UserLocalServer::address(kName, &problem);
    if (name.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Status channel does not listen: no private folder for it: %1").arg(problem);
        return;
    }
    // A later instance that starts up while the first runs leaves the name to it.
    switch (UserLocalServer::listen(*m_server, name)) {
    case UserLocalServer::Listen::Listening:
        break;
    case UserLocalServer::Listen::ServedElsewhere:
        qWarning().noquote() << QStringLiteral("Status channel does not listen: %1 is served by another program").arg(name);
        break;
    case UserLocalServer::Listen::Failed:
        qWarning().noquote() << QStringLiteral("Status channel does not listen at %1: %2").arg(name, m_server->errorString());
        break;
    }
}

void StatusChannel::acceptPeers()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_peers.size() >= MaxPeers) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        Peer peer;
        peerCredentials(socket, &peer.pid, &peer.sameUser);
        m_peers.insert(socket, peer);
        socket->setReadBufferSize(StatusFrame::MaxFrameSize);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readPeer(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { dropPeer(socket); });
        if (socket->bytesAvailable() > 0)
            readPeer(socket);
    }
}

void StatusChannel::readPeer(QLocalSocket *socket)
{
    for (;;) {
        auto peer = m_peers.find(socket);
        if (peer == m_peers.end())
            return;   // dropped meanwhile
        QByteArray &buffer = peer->buffer;
        if (buffer.size() < StatusFrame::MaxFrameSize)
            buffer += socket->read(StatusFrame::MaxFrameSize - buffer.size());
        StatusFrame frame;
        int used = 0;
        switch (StatusFrame::decode(buffer.constData(), buffer.size(), &frame, &used)) {
        case StatusFrame::Result::Invalid:
            dropPeer(socket);
            return;
        case StatusFrame::Result::Incomplete:
            return;   // the buffer holds less than a largest frame: wait for more
        case StatusFrame::Result::Complete: {
            buffer.remove(0, used);
            const qint64 pid = peer->pid;
            if (!peer->sameUser || (m_gate && !m_gate(pid))) {
                emit refused(frame.bytes, frame.handle, pid);
                break;
            }
            if (peer->announced && m_byHandle.value(peer->handle) == socket)
                m_byHandle.remove(peer->handle);
            peer->handle = frame.handle;
            peer->announced = true;
            m_byHandle.insert(frame.handle, socket);
            emit received(frame.bytes, frame.handle, pid);
            break;
        }
        }
    }
}

void StatusChannel::dropPeer(QLocalSocket *socket)
{
    const auto peer = m_peers.constFind(socket);
    if (peer == m_peers.constEnd())
        return;
    if (peer->announced && m_byHandle.value(peer->handle) == socket)
        m_byHandle.remove(peer->handle);
    m_peers.erase(peer);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

bool StatusChannel::send(qint32 handle, const QByteArray &bytes)
{
    QLocalSocket *socket = m_byHandle.value(handle);
    if (!socket)
        return false;
    const QByteArray frame = StatusFrame::encode(0, bytes);
    if (frame.isEmpty())
        return false;
    if (socket->bytesToWrite() + frame.size() > MaxUnreadReplies) {
        dropPeer(socket);
        return false;
    }
    socket->write(frame);
    socket->flush();
    return true;
}
