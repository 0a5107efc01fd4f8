#include "VersionRecord.h"

namespace {

// Every block: length, value length, type (1: text), key in UTF-16 with its
// terminator, padding to 4 bytes, the value, padding, then the child blocks.
struct Block
{
    int start = 0;
    int end = 0;
    int valueLength = 0;
    int type = 0;
    QString key;
    int valueStart = 0;
    int childrenStart = 0;
};

quint16 word(const QByteArray &data, int at)
{
    return quint16(quint8(data[at])) | quint16(quint8(data[at + 1])) << 8;
}

quint32 dword(const QByteArray &data, int at)
{
    return quint32(word(data, at)) | quint32(word(data, at + 2)) << 16;
}

int aligned(int offset)
{
    return (offset + 3) & ~3;
}

// The UTF-16 text at `at` up to its terminator or `end`; `next` gets the offset after the terminator.
QString text(const QByteArray &data, int at, int end, int *next = nullptr)
{
    QString result;
    while (at + 1 < end) {
        const quint16 c = word(data, at);
        at += 2;
        if (c == 0)
            break;
        result += QChar(c);
    }
    if (next)
        *next = at;
    return result;
}

bool readBlock(const QByteArray &data, int at, int limit, Block *block)
{
    if (at + 6 > limit)
        return false;
    const int length = word(data, at);
    if (length < 6 || at + length > limit)
        return false;
    block->start = at;
    block->end = at + length;
    block->valueLength = word(data, at + 2);
    block->type = word(data, at + 4);
    int afterKey = 0;
    block->key = text(data, at + 6, block->end, &afterKey);
    block->valueStart = aligned(afterKey);
    const int valueBytes = block->type == 1 ? 2 * block->valueLength : block->valueLength;
    block->childrenStart = qMin(aligned(block->valueStart + valueBytes), block->end);
    return true;
}

QString version(quint32 high, quint32 low)
{
    return QStringLiteral("%1.%2.%3.%4").arg(high >> 16).arg(high & 0xffff).arg(low >> 16).arg(low & 0xffff);
}

// The string tables' texts under `parent` (StringFileInfo -> table -> text), depth 0 to 2.
bool collectStrings(const QByteArray &data, const Block &parent, int depth, QMap<QString, QString> *strings)
{
    for (int at = parent.childrenStart; at < parent.end;) {
        Block child;
        if (!readBlock(data, at, parent.end, &child))
            return false;
        if (depth == 2)
            strings->insert(child.key, text(data, child.valueStart, child.end));
        else if ((depth == 1 || child.key == QLatin1String("StringFileInfo")) && !collectStrings(data, child, depth + 1, strings))
            return false;
        at = aligned(child.end);
    }
    return true;
}

}

VersionRecord VersionRecord::parse(const QByteArray &data)
{
    Block root;
    if (!readBlock(data, 0, data.size(), &root) || root.key != QLatin1String("VS_VERSION_INFO")
        || root.valueLength < 52 || root.valueStart + 52 > root.end || dword(data, root.valueStart) != 0xFEEF04BDu)
        return {};
    VersionRecord record;
    record.fileVersion = version(dword(data, root.valueStart + 8), dword(data, root.valueStart + 12));
    record.productVersion = version(dword(data, root.valueStart + 16), dword(data, root.valueStart + 20));
    if (!collectStrings(data, root, 0, &record.strings))
        return {};
    return record;
}
