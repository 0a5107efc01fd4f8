// Arbitrary bytes from a peer of the real status channel, with the gate's
// answers taken from the input: every frame is decided by the gate with the
// peer's own process id, reported as taken or refused accordingly, in order;
// a stream that stops being frames loses its peer; and only a handle announced
// in a taken frame can be answered.
#include "StatusChannel.h"
#include "StatusFrame.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

struct Seen { StatusFrame frame; bool taken; qint64 pid; };

uint8_t decisions = 0;   // the gate's answers for this input, bit i % 8 for frame i
int gateCalls = 0;
std::vector<Seen> seen;

StatusChannel &channel()
{
    static int argc = 1;
    static char name[] = "fuzz_statuschannel", *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QTemporaryDir folder;
    static StatusChannel *channel = [] {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
        auto *made = new StatusChannel;
        if (!made->isListening())
            std::abort();
        made->setGate([](qint64 pid) {
            if (pid != QCoreApplication::applicationPid())
                std::abort();   // the peer is this very process
            return (decisions >> (gateCalls++ % 8)) & 1;
        });
        const auto record = [](bool taken) {
            return [taken](const QByteArray &bytes, qint32 handle, qint64 pid) { seen.push_back({{handle, bytes}, taken, pid}); };
        };
        QObject::connect(made, &StatusChannel::received, made, record(true));
        QObject::connect(made, &StatusChannel::refused, made, record(false));
        return made;
    }();
    return *channel;
}

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
    StatusChannel &status = channel();
    if (size < 1 || size > size_t(4 * StatusFrame::MaxFrameSize))
        return 0;
    decisions = data[0];
    gateCalls = 0;
    seen.clear();
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), int(size - 1));

    // What the channel must make of the stream: its frames, and whether it stops being frames.
    std::vector<StatusFrame> frames;
    StatusFrame::Result result = StatusFrame::Result::Complete;
    for (int at = 0, used = 0; at < stream.size() && result == StatusFrame::Result::Complete; at += used) {
        StatusFrame frame;
        result = StatusFrame::decode(stream.constData() + at, stream.size() - at, &frame, &used);
        if (result == StatusFrame::Result::Complete)
            frames.push_back(frame);
    }
    const bool invalid = result == StatusFrame::Result::Invalid;

    QLocalSocket peer;
    peer.connectToServer(StatusChannel::address());
    if (!peer.waitForConnected(5000))
        std::abort();
    peer.write(stream);
    peer.flush();
    runUntil([&] { return seen.size() == frames.size() && (!invalid || peer.state() == QLocalSocket::UnconnectedState); });

    std::optional<qint32> bound;   // the handle of the last taken frame
    for (size_t i = 0; i < frames.size(); ++i) {
        if (seen[i].taken != bool((decisions >> (i % 8)) & 1) || seen[i].frame.handle != frames[i].handle
            || seen[i].frame.bytes != frames[i].bytes || seen[i].pid != QCoreApplication::applicationPid())
            std::abort();
        if (seen[i].taken)
            bound = frames[i].handle;
    }
    if (!invalid) {
        for (const StatusFrame &frame : frames) {
            if (bound != frame.handle && status.send(frame.handle, "x"))
                std::abort();
        }
        if (bound && !status.send(*bound, "x"))
            std::abort();
    }
    peer.abort();
    runUntil([&] { return status.findChildren<QLocalSocket *>().isEmpty(); });
    return 0;
}
