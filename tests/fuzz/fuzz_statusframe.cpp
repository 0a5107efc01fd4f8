// Decodes arbitrary bytes as the status channel reads a peer: frame after frame
// until the input ends or stops being frames. Whatever decodes must encode back
// to the very bytes it came from.
#include "StatusFrame.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(4 * StatusFrame::MaxFrameSize))
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data);
    int left = int(size);
    while (left > 0) {
        StatusFrame frame;
        int used = 0;
        if (StatusFrame::decode(bytes, left, &frame, &used) != StatusFrame::Result::Complete)
            break;
        if (used < StatusFrame::HeaderSize || used > left || frame.bytes.size() > StatusFrame::MaxBytes
            || StatusFrame::encode(frame.handle, frame.bytes) != QByteArray(bytes, used))
            std::abort();
        bytes += used;
        left -= used;
    }
    return 0;
}
