#pragma once

#include <QByteArray>
#include <QString>

// The feature reports exchanged with the RT48PX, byte by byte. Every packet sent
// has the report id in byte 0, the letters "FU" (0x46 0x55) in bytes 1 and 2, the
// command in byte 3, the payload after it and, last, a checksum: the low 8 bits
// of the sum of every byte after the report id. Every buffer read starts as the
// report id followed by zeros, as long as the report. Pure functions, no I/O.
namespace HidPackets {

// Lengths passed to hidapi.
constexpr int ProbeLength = 7;            // the probe packet itself; send0XFF sends this
constexpr int ProbeBufferLength = 512;    // the probe as the identification exchange sends it
constexpr int ProbeReplyLength = 33;      // report 0x81
constexpr int SelectLength = 29;          // report 0x82
constexpr int StatusLength = 6;           // report 0x02
constexpr int InformationRequestLength = 8;   // report 0x92
constexpr int InformationLength = 80;     // report 0x12
constexpr int CommandLength = 8;          // report 0xA2
constexpr int ConfirmationLength = 7;     // report 0x22

constexpr unsigned char ProbeReplyId = 0x81;
constexpr unsigned char StatusId = 0x02;
constexpr unsigned char InformationId = 0x12;
constexpr unsigned char ConfirmationId = 0x22;

// Bytes 28..34 and 35..41 of the information report: firmware and micro-code.
constexpr int FirmwareField = 28;
constexpr int MicrocodeField = 35;
constexpr int VersionFieldLength = 7;
constexpr int ReadyByte = 50;

// Sum of bytes 1 .. n-1 of `buffer` (the caller keeps the low 8 bits and stores
// them at index n). `buffer` must hold at least n bytes; n < 1 gives 0.
int checksum(int n, const unsigned char *buffer);

// The probe 01 46 55 FF 45 4E 2D, zero-padded to `length` bytes (length >= 7).
QByteArray probe(int length = ProbeLength);

// The select packet (29 bytes): bytes 0..27 of `probeReply` (missing bytes read
// as 0) with byte 0 set to 0x82, byte 3 to 0x80 and byte 28 the checksum.
QByteArray select(const QByteArray &probeReply);

// The information request 92 46 55 90 00 44 49 and its checksum (0xB8).
QByteArray informationRequest();

// The 0xA0 command A2 46 55 A0 00 43 54 D2 (checksum stored as a constant).
QByteArray commandA0();

// A read buffer: `reportId` then zeros, `length` bytes in all (length >= 1).
QByteArray readBuffer(unsigned char reportId, int length);

// True when the lower-case hex text of `probeReply` holds "4655" at any digit
// position (so 34 65 5A passes as well as 46 55).
bool hasSignature(const QByteArray &probeReply);

// True when byte 4 of the status report is 0, 1 or 2; false also for a report
// shorter than 5 bytes.
bool statusAccepted(const QByteArray &status);

// True when byte 50 of the information report is not 0; false also for a
// report shorter than 51 bytes.
bool informationAccepted(const QByteArray &information);

// One version field: the 7 characters from `from` of the first 52 bytes taken
// as Latin-1 (zero bytes stay as U+0000; missing bytes read as 0), every "R" and
// "r" removed, then "." inserted at index 2 and at index 4 of the lengthened
// text. "01R0104" gives "01.0.104". Never fails.
QString versionField(const QByteArray &information, int from);

struct Versions
{
    QString firmware;
    QString microcode;
};

// Both version fields of the information report. Never fails.
Versions parseVersions(const QByteArray &information);

// A 16-bit id as exactly four lower-case hex digits: 1 gives "0001".
QString hexId(unsigned short id);

// The text before the last "#"; a path without "#" stays whole.
QString cutPath(const QString &path);

}
