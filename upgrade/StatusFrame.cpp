#include "StatusFrame.h"

#include <QtEndian>

#include <cstring>

namespace {

constexpr char Magic[4] = {'U', 'P', 'V', 'S'};

}

QByteArray StatusFrame::encode(qint32 handle, const QByteArray &bytes)
{
    if (bytes.size() > MaxBytes)
        return {};
    QByteArray frame(HeaderSize, '\0');
    char *head = frame.data();
    std::memcpy(head, Magic, sizeof Magic);
    qToBigEndian<qint32>(handle, head + 4);
    qToBigEndian<quint32>(quint32(bytes.size()), head + 8);
    frame += bytes;
    return frame;
}

StatusFrame::Result StatusFrame::decode(const char *data, int size, StatusFrame *frame, int *used)
{
    if (size <= 0)
        return Result::Incomplete;
    const int magicSeen = qMin(size, int(sizeof Magic));
    if (std::memcmp(data, Magic, size_t(magicSeen)) != 0)
        return Result::Invalid;
    if (size < HeaderSize)
        return Result::Incomplete;
    const quint32 count = qFromBigEndian<quint32>(data + 8);
    if (count > quint32(MaxBytes))
        return Result::Invalid;
    const int length = HeaderSize + int(count);
    if (size < length)
        return Result::Incomplete;
    frame->handle = qFromBigEndian<qint32>(data + 4);
    frame->bytes = QByteArray(data + HeaderSize, int(count));
    *used = length;
    return Result::Complete;
}
