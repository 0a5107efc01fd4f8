#include "HidPackets.h"

#include <QRegularExpression>

namespace {

const unsigned char kProbe[HidPackets::ProbeLength] = {0x01, 0x46, 0x55, 0xFF, 0x45, 0x4E, 0x2D};
const unsigned char kCommandA0[HidPackets::CommandLength] = {0xA2, 0x46, 0x55, 0xA0, 0x00, 0x43, 0x54, 0xD2};

// The first 52 bytes of the information report, short reports padded with 0.
constexpr int kParsedLength = 52;

QByteArray fromBytes(const unsigned char *bytes, int size)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), size);
}

unsigned char byteAt(const QByteArray &bytes, int index)
{
    return index < bytes.size() ? static_cast<unsigned char>(bytes.at(index)) : 0;
}

}

namespace HidPackets {

int checksum(int n, const unsigned char *buffer)
{
    int sum = 0;
    for (int i = 1; i < n; ++i)
        sum += buffer[i];
    return sum;
}

QByteArray probe(int length)
{
    QByteArray packet(qMax(length, ProbeLength), '\0');
    for (int i = 0; i < ProbeLength; ++i)
        packet[i] = static_cast<char>(kProbe[i]);
    return packet;
}

QByteArray select(const QByteArray &probeReply)
{
    QByteArray packet(SelectLength, '\0');
    for (int i = 0; i < SelectLength - 1; ++i)
        packet[i] = static_cast<char>(byteAt(probeReply, i));
    packet[0] = static_cast<char>(0x82);
    packet[3] = static_cast<char>(0x80);
    const int sum = checksum(SelectLength - 1, reinterpret_cast<const unsigned char *>(packet.constData()));
    packet[SelectLength - 1] = static_cast<char>(sum & 0xFF);
    return packet;
}

QByteArray informationRequest()
{
    unsigned char packet[InformationRequestLength] = {0x92, 0x46, 0x55, 0x90, 0x00, 0x44, 0x49, 0x00};
    packet[InformationRequestLength - 1] = static_cast<unsigned char>(checksum(InformationRequestLength - 1, packet) & 0xFF);
    return fromBytes(packet, InformationRequestLength);
}

QByteArray commandA0()
{
    return fromBytes(kCommandA0, CommandLength);
}

QByteArray readBuffer(unsigned char reportId, int length)
{
    QByteArray buffer(qMax(length, 1), '\0');
    buffer[0] = static_cast<char>(reportId);
    return buffer;
}

bool hasSignature(const QByteArray &probeReply)
{
    return probeReply.toHex().indexOf("4655") >= 0;
}

bool statusAccepted(const QByteArray &status)
{
    return status.size() > 4 && byteAt(status, 4) <= 2;
}

bool informationAccepted(const QByteArray &information)
{
    return byteAt(information, ReadyByte) != 0;
}

QString versionField(const QByteArray &information, int from)
{
    QString text;
    text.reserve(kParsedLength);
    for (int i = 0; i < kParsedLength; ++i)
        text.append(QChar::fromLatin1(static_cast<char>(byteAt(information, i))));
    static const QRegularExpression r(QStringLiteral("[Rr]"));
    QString field = text.mid(from, VersionFieldLength);
    field.remove(r);
    field.insert(2, QLatin1Char('.'));
    field.insert(4, QLatin1Char('.'));
    return field;
}

Versions parseVersions(const QByteArray &information)
{
    return {versionField(information, FirmwareField), versionField(information, MicrocodeField)};
}

QString hexId(unsigned short id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

QString cutPath(const QString &path)
{
    const int hash = path.lastIndexOf(QLatin1Char('#'));
    return hash < 0 ? path : path.left(hash);
}

}
