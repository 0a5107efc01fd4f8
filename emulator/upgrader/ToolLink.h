#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalSocket>

// The stand-in's side of the tool's status channel (StatusChannel.h names the
// place, StatusFrame.h the frames). Every call blocks until done or failed.
class ToolLink
{
public:
    explicit ToolLink(qint32 handle);

    // Connects once; true when connected (also when it was already).
    bool open();
    // Sends `messages` back to back in one write, each as a frame with our handle.
    // false when the channel is gone.
    bool send(const QList<QByteArray> &messages);
    // The bytes of the tool's next reply. false when the tool went away, sent
    // something that is no frame, or `timeoutMs` passed first.
    bool awaitReply(QByteArray *reply, int timeoutMs);
    // Returns when the tool closes the channel or `timeoutMs` passed; replies that
    // come meanwhile are dropped.
    void awaitClose(int timeoutMs);

private:
    QLocalSocket m_socket;
    QByteArray m_buffer;
    qint32 m_handle;
};
