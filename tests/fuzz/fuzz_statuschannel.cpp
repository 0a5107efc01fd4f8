// Arbitrary bytes from a peer of the real status channel, with the gate's
// answers taken from the input: every frame is decided by the gate with the
// peer's own process id, reported as taken or refused accordingly, in order,
// and only a handle announced in a taken frame can be answered.
#include "StatusChannel.h"
#include "StatusFrame.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Seen
{
    QByteArray bytes;
    qint32 handle;
    qint64 pid;
    bool taken;
};

struct World
{
    World()
    {
        static int argc = 1;
        static char name[] = "fuzz_statuschannel";
        static char *argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        folder = new QTemporaryDir;
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder->path()));
        channel = new StatusChannel;
        if (!channel->isListening())
            std::abort();
        channel->setGate([this](qint64 pid) {
            if (pid != QCoreApplication::applicationPid())
                std::abort();   // the peer is this very process
            return (decisions >> (gateCalls++ % 8)) & 1;
        });
        QObject::connect(channel, &StatusChannel::received, channel, [this](const QByteArray &b, qint32 h, qint64 p) {
            seen.push_back({b, h, p, true});
        });
        QObject::connect(channel, &StatusChannel::refused, channel, [this](const QByteArray &b, qint32 h, qint64 p) {
            seen.push_back({b, h, p, false});
        });
    }

    QCoreApplication *app;
    QTemporaryDir *folder;
    StatusChannel *channel;
    uint8_t decisions = 0;
    int gateCalls = 0;
    std::vector<Seen> seen;
};

template <typename Done>
void runUntil(Done done)
{
    QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired())
            std::abort();   // the channel must take what it is sent promptly
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World *world = new World;
    if (size < 1 || size > size_t(4 * StatusFrame::MaxFrameSize))
        return 0;
    world->decisions = data[0];
    world->gateCalls = 0;
    world->seen.clear();
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));

    // What the channel must make of the stream: its frames, and whether it stops
    // being frames (the channel then drops the peer).
    std::vector<StatusFrame> frames;
    bool invalid = false;
    for (int at = 0; at < stream.size();) {
        StatusFrame frame;
        int used = 0;
        const StatusFrame::Result result = StatusFrame::decode(stream.constData() + at, stream.size() - at, &frame, &used);
        if (result != StatusFrame::Result::Complete) {
            invalid = result == StatusFrame::Result::Invalid;
            break;
        }
        frames.push_back(frame);
        at += used;
    }

    QLocalSocket peer;
    peer.connectToServer(StatusChannel::address());
    if (!peer.waitForConnected(5000))
        std::abort();
    peer.write(stream);
    peer.flush();
    runUntil([&] {
        return world->seen.size() == frames.size() && (!invalid || peer.state() == QLocalSocket::UnconnectedState);
    });

    qint32 bound = 0;
    bool anyTaken = false;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Seen &seen = world->seen[i];
        const bool taken = (data[0] >> (i % 8)) & 1;
        if (seen.taken != taken || seen.handle != frames[i].handle || seen.bytes != frames[i].bytes
            || seen.pid != QCoreApplication::applicationPid())
            std::abort();
        if (taken) {
            bound = seen.handle;
            anyTaken = true;
        }
    }
    if (!invalid) {
        // Replies reach the handle of the last taken frame, and no handle that
        // only refused frames named.
        for (const StatusFrame &frame : frames) {
            if ((!anyTaken || frame.handle != bound) && world->channel->send(frame.handle, "x"))
                std::abort();
        }
        if (anyTaken && !world->channel->send(bound, "x"))
            std::abort();
    }

    peer.abort();
    runUntil([&] { return world->channel->findChildren<QLocalSocket *>().isEmpty(); });
    return 0;
}
