#pragma once

#include <QByteArray>
#include <QtGlobal>

// One message of the status channel between the tool and the upgrade program
// where there are no window messages (see StatusChannel). It carries what a
// WM_COPYDATA carries, the same both ways: the sender's handle and a counted
// string of bytes.
//
//   offset  size    content
//   0       4       magic "UPVS"
//   4       4       handle: the sender's, signed 32-bit, big-endian (0 from the tool)
//   8       4       count: unsigned 32-bit, big-endian, at most MaxBytes
//   12      count   the bytes (UTF-8 text without terminator; every counted byte,
//                   a NUL included, belongs to the text)
//
// Pure functions, no I/O.
class StatusFrame
{
public:
    static constexpr int HeaderSize = 12;
    static constexpr int MaxBytes = 4096;
    static constexpr int MaxFrameSize = HeaderSize + MaxBytes;

    enum class Result {
        Complete,     // a whole frame was decoded
        Incomplete,   // a valid beginning: more bytes are needed
        Invalid       // not a frame (wrong magic, count above MaxBytes)
    };

    qint32 handle = 0;
    QByteArray bytes;

    // The frame carrying `handle` and `bytes`. Returns an empty array when
    // `bytes` holds more than MaxBytes.
    static QByteArray encode(qint32 handle, const QByteArray &bytes);

    // Decodes the frame at the start of the `size` bytes at `data` (data may be
    // null when size is 0). Complete: fills `frame` and sets `used` to the frame's
    // length. Incomplete or Invalid: leaves both untouched. Invalid input cannot
    // be resynchronised: the reader gives up the stream.
    static Result decode(const char *data, int size, StatusFrame *frame, int *used);
};
