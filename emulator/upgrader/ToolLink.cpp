#include "ToolLink.h"

#include "StatusChannel.h"
#include "StatusFrame.h"

#include <QDeadlineTimer>

ToolLink::ToolLink(qint32 handle)
    : m_handle(handle)
{
}

bool ToolLink::open()
{
    if (m_socket.state() == QLocalSocket::ConnectedState)
        return true;
    m_socket.connectToServer(StatusChannel::address());
    return m_socket.waitForConnected(5000);
}

bool ToolLink::send(const QList<QByteArray> &messages)
{
    QByteArray frames;
    for (const QByteArray &message : messages)
        frames += StatusFrame::encode(m_handle, message);
    if (m_socket.write(frames) != frames.size())
        return false;
    while (m_socket.bytesToWrite() > 0) {
        if (!m_socket.waitForBytesWritten(5000))
            return false;
    }
    return true;
}

bool ToolLink::awaitReply(QByteArray *reply, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        StatusFrame frame;
        int used = 0;
        switch (StatusFrame::decode(m_buffer.constData(), m_buffer.size(), &frame, &used)) {
        case StatusFrame::Result::Complete:
            m_buffer.remove(0, used);
            *reply = frame.bytes;
            return true;
        case StatusFrame::Result::Invalid:
            return false;
        case StatusFrame::Result::Incomplete:
            break;
        }
        if (m_socket.bytesAvailable() == 0 && !m_socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        m_buffer += m_socket.readAll();
    }
}

void ToolLink::awaitClose(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        if (m_socket.waitForReadyRead(int(deadline.remainingTime())))
            m_socket.readAll();
    }
}
