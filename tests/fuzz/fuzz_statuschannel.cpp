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
#include <optional>
#include <vector>

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

    // Starts an input: the gate's answers are the bits of `bits`, frame by frame.
    void reset(uint8_t bits)
    {
        decisions = bits;
        gateCalls = 0;
        seen.clear();
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

// What the channel must make of a stream: its frames, and whether it stops being
// frames (the channel then drops the peer).
struct Expected
{
    std::vector<StatusFrame> frames;
    bool invalid = false;
};

Expected expectedFrames(const QByteArray &stream)
{
    Expected expected;
    for (int at = 0; at < stream.size();) {
        StatusFrame frame;
        int used = 0;
        const StatusFrame::Result result = StatusFrame::decode(stream.constData() + at, stream.size() - at, &frame, &used);
        if (result != StatusFrame::Result::Complete) {
            expected.invalid = result == StatusFrame::Result::Invalid;
            break;
        }
        expected.frames.push_back(frame);
        at += used;
    }
    return expected;
}

// Connects `peer` to the channel and writes `stream` to it.
void writeAsPeer(QLocalSocket &peer, const QByteArray &stream)
{
    peer.connectToServer(StatusChannel::address());
    if (!peer.waitForConnected(5000))
        std::abort();
    peer.write(stream);
    peer.flush();
}

// Checks that every frame was reported in order, as sent, from this process, as
// taken or refused by bit i % 8 of `decisions`. Returns the handle of the last
// taken frame, nothing when none was taken.
std::optional<qint32> checkReported(const std::vector<Seen> &seenFrames, const std::vector<StatusFrame> &frames,
                                    uint8_t decisions)
{
    std::optional<qint32> bound;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Seen &seen = seenFrames[i];
        const bool taken = (decisions >> (i % 8)) & 1;
        if (seen.taken != taken || seen.handle != frames[i].handle || seen.bytes != frames[i].bytes
            || seen.pid != QCoreApplication::applicationPid())
            std::abort();
        if (taken)
            bound = seen.handle;
    }
    return bound;
}

// Replies reach the handle of the last taken frame, and no handle that only
// refused frames named.
void checkReplies(StatusChannel &channel, const std::vector<StatusFrame> &frames, std::optional<qint32> bound)
{
    for (const StatusFrame &frame : frames) {
        if (bound != frame.handle && channel.send(frame.handle, "x"))
            std::abort();
    }
    if (bound && !channel.send(*bound, "x"))
        std::abort();
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static World *world = new World;
    if (size < 1 || size > size_t(4 * StatusFrame::MaxFrameSize))
        return 0;
    world->reset(data[0]);
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));
    const Expected expected = expectedFrames(stream);

    QLocalSocket peer;
    writeAsPeer(peer, stream);
    runUntil([&] {
        return world->seen.size() == expected.frames.size()
            && (!expected.invalid || peer.state() == QLocalSocket::UnconnectedState);
    });
    const std::optional<qint32> bound = checkReported(world->seen, expected.frames, data[0]);
    if (!expected.invalid)
        checkReplies(*world->channel, expected.frames, bound);

    peer.abort();
    runUntil([&] { return world->channel->findChildren<QLocalSocket *>().isEmpty(); });
    return 0;
}
