#include "ToolLink.h"

#include "StatusChannel.h"
#include "StatusFrame.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

struct ToolLink::Channel
{
    QLocalSocket socket;
    QByteArray buffer;
    qint32 handle = 0;
};

ToolLink::ToolLink(std::optional<std::int32_t> announced)
    : m_channel(std::make_unique<Channel>())
{
    m_channel->handle = announced.value_or(qint32(QCoreApplication::applicationPid()));
}

ToolLink::~ToolLink() = default;

std::int32_t ToolLink::handle() const
{
    return m_channel->handle;
}

bool ToolLink::open()
{
    QLocalSocket &socket = m_channel->socket;
    if (socket.state() == QLocalSocket::ConnectedState)
        return true;
    socket.connectToServer(StatusChannel::address());
    return socket.waitForConnected(5000);
}

bool ToolLink::send(const std::vector<std::string> &messages)
{
    QByteArray frames;
    for (const std::string &message : messages)
        frames += StatusFrame::encode(m_channel->handle, QByteArray::fromStdString(message));
    QLocalSocket &socket = m_channel->socket;
    if (socket.write(frames) != frames.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(5000))
            return false;
    }
    return true;
}

bool ToolLink::awaitReply(std::string *reply, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QByteArray &buffer = m_channel->buffer;
    for (;;) {
        StatusFrame frame;
        int used = 0;
        switch (StatusFrame::decode(buffer.constData(), buffer.size(), &frame, &used)) {
        case StatusFrame::Result::Complete:
            buffer.remove(0, used);
            *reply = frame.bytes.toStdString();
            return true;
        case StatusFrame::Result::Invalid:
            return false;
        case StatusFrame::Result::Incomplete:
            break;
        }
        QLocalSocket &socket = m_channel->socket;
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        buffer += socket.readAll();
    }
}

void ToolLink::awaitClose(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket &socket = m_channel->socket;
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(int(deadline.remainingTime())))
            socket.readAll();
    }
}

void ToolLink::idle(int milliseconds)
{
    QThread::msleep(ulong(milliseconds));
}
