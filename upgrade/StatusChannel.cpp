#include "StatusChannel.h"

#include "StatusFrame.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

QString StatusChannel::address()
{
    const QString name = QStringLiteral("upvane-status");
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return name;
    return runtime + QLatin1Char('/') + name;
}

StatusChannel::StatusChannel(QObject *parent)
    : QObject(parent)
    , m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
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

void StatusChannel::listen()
{
    const QString name = address();
    // Listening would take the name away from a tool that serves it already (a
    // later instance starts up while the first runs). Connecting is answered or
    // refused at once: there is no network in between.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.state() != QLocalSocket::UnconnectedState)
        return;
    if (m_server->listen(name) || m_server->serverError() != QAbstractSocket::AddressInUseError)
        return;
    QLocalServer::removeServer(name);   // left over by a tool that ended without closing
    m_server->listen(name);
}

void StatusChannel::acceptPeers()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_peers.size() >= MaxPeers) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_peers.insert(socket, Peer());
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
        case StatusFrame::Result::Complete:
            buffer.remove(0, used);
            if (peer->announced && m_byHandle.value(peer->handle) == socket)
                m_byHandle.remove(peer->handle);
            peer->handle = frame.handle;
            peer->announced = true;
            m_byHandle.insert(frame.handle, socket);
            emit received(frame.bytes, frame.handle);
            break;
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
