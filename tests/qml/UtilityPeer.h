#pragma once

#include "StatusChannel.h"
#include "StatusFrame.h"

#include <QByteArray>
#include <QList>
#include <QLocalSocket>
#include <QObject>

// The far end of the status channel, played by the test where the moment of a
// report matters (a bar held at 90 until the test lets the report go). It speaks
// the channel's frames over the same local socket as the upgrade program does
// and keeps every reply of the tool.
class UtilityPeer
{
public:
    explicit UtilityPeer(qint32 handle = 4711) : m_handle(handle)
    {
        QObject::connect(&m_socket, &QLocalSocket::readyRead, [this] { readReplies(); });
    }

    bool connectToTool()
    {
        m_socket.connectToServer(StatusChannel::address());
        return m_socket.waitForConnected(10000);
    }

    void send(const QByteArray &status)
    {
        m_socket.write(StatusFrame::encode(m_handle, status));
        m_socket.flush();
    }

    // Every reply the tool sent to this peer, in order.
    const QList<QByteArray> &replies() const { return m_replies; }

private:
    void readReplies()
    {
        m_buffer += m_socket.readAll();
        StatusFrame frame;
        int used = 0;
        while (StatusFrame::decode(m_buffer.constData(), m_buffer.size(), &frame, &used)
               == StatusFrame::Result::Complete) {
            m_replies << frame.bytes;
            m_buffer.remove(0, used);
        }
    }

    qint32 m_handle;
    QLocalSocket m_socket;
    QByteArray m_buffer;
    QList<QByteArray> m_replies;
};
