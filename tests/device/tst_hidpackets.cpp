// The byte-level pieces of the exchange, data-driven.
#include "HidPackets.h"

#include <QtTest>

class TestHidPackets : public QObject
{
    Q_OBJECT

private slots:
    void packets_data();
    void packets();
    void select_data();
    void select();
    void signature_data();
    void signature();
    void status_data();
    void status();
    void ready_data();
    void ready();
    void versionField_data();
    void versionField();
    void hexId_data();
    void hexId();
    void cutPath_data();
    void cutPath();
};

void TestHidPackets::packets_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QByteArray>("expected");

    QByteArray probe512 = QByteArray::fromHex("014655FF454E2D");
    probe512.append(505, '\0');
    QTest::newRow("probe") << HidPackets::probe() << QByteArray::fromHex("014655FF454E2D");
    QTest::newRow("probe in 512 bytes") << HidPackets::probe(HidPackets::ProbeBufferLength) << probe512;
    QTest::newRow("information request") << HidPackets::informationRequest() << QByteArray::fromHex("92465590004449B8");
    QTest::newRow("0xA0 command") << HidPackets::commandA0() << QByteArray::fromHex("A24655A0004354D2");
    QTest::newRow("probe reply buffer") << HidPackets::readBuffer(0x81, 33) << QByteArray::fromHex("81").append(32, '\0');
    QTest::newRow("status buffer") << HidPackets::readBuffer(0x02, 6) << QByteArray::fromHex("020000000000");
    QTest::newRow("information buffer") << HidPackets::readBuffer(0x12, 80) << QByteArray::fromHex("12").append(79, '\0');
    QTest::newRow("confirmation buffer") << HidPackets::readBuffer(0x22, 7) << QByteArray::fromHex("22000000000000");
}

void TestHidPackets::packets()
{
    QFETCH(QByteArray, packet);
    QFETCH(QByteArray, expected);
    QCOMPARE(packet.toHex(), expected.toHex());
}

void TestHidPackets::select_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("expected");

    QByteArray reply = QByteArray::fromHex("81 4655 FF 0102030405060708090a0b0c0d0e0f101112131415161718 EEEEEE EEEEEE");
    QTest::newRow("echoes bytes 1, 2 and 4..27")
        << reply << QByteArray::fromHex("82 4655 80 0102030405060708090a0b0c0d0e0f101112131415161718 47");
    QByteArray other(33, '\xFF');
    // 27 bytes of 0xFF with byte 3 = 0x80: 26 * 255 + 128 = 6758 = 0x1A66
    QTest::newRow("whatever the device sent") << other
        << QByteArray::fromHex("82FFFF80").append(24, '\xFF').append('\x66');
    QTest::newRow("short reply reads as zeros") << QByteArray::fromHex("8146")
        << QByteArray::fromHex("82 46 00 80").append(24, '\0').append('\xC6');
}

void TestHidPackets::select()
{
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, expected);
    QCOMPARE(HidPackets::select(reply).toHex(), expected.toHex());
}

void TestHidPackets::signature_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("found");

    QTest::newRow("FU at 1") << QByteArray::fromHex("814655FF") << true;
    QTest::newRow("FU late") << QByteArray::fromHex("8100000000000000000000004655") << true;
    QTest::newRow("across a byte boundary") << QByteArray::fromHex("8134655A") << true;
    QTest::newRow("only FU reversed") << QByteArray::fromHex("81554600") << false;
    QTest::newRow("upper-case text never matches") << QByteArray("4655") << false;
    QTest::newRow("all zeros") << QByteArray(33, '\0') << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestHidPackets::signature()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, found);
    QCOMPARE(HidPackets::hasSignature(reply), found);
}

void TestHidPackets::status_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<bool>("accepted");
    for (int module : {0, 1, 2, 3, 0x7F, 0x80, 0xFF})
        QTest::addRow("byte 4 = %d", module) << module << (module <= 2);
}

void TestHidPackets::status()
{
    QFETCH(int, module);
    QFETCH(bool, accepted);
    QByteArray report = HidPackets::readBuffer(0x02, 6);
    report[4] = static_cast<char>(module);
    QCOMPARE(HidPackets::statusAccepted(report), accepted);
    QVERIFY(!HidPackets::statusAccepted(report.left(4)));
}

void TestHidPackets::ready_data()
{
    QTest::addColumn<int>("byte50");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("0x80") << 0x80 << true;
}

void TestHidPackets::ready()
{
    QFETCH(int, byte50);
    QFETCH(bool, accepted);
    QByteArray report = HidPackets::readBuffer(0x12, 80);
    report[50] = static_cast<char>(byte50);
    QCOMPARE(HidPackets::informationAccepted(report), accepted);
    QVERIFY(!HidPackets::informationAccepted(report.left(50)));
}

void TestHidPackets::versionField_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("version");

    QTest::newRow("one R") << QByteArray("01R0104") << QStringLiteral("01.0.104");
    QTest::newRow("V and R") << QByteArray("V1R1104") << QStringLiteral("V1.1.104");
    QTest::newRow("lower-case r") << QByteArray("V1r1104") << QStringLiteral("V1.1.104");
    QTest::newRow("no R") << QByteArray("1234567") << QStringLiteral("12.3.4567");
    QTest::newRow("two R") << QByteArray("1R2R345") << QStringLiteral("12.3.45");
    QTest::newRow("zero bytes stay") << QByteArray("1R\0" "2\0\0\0", 7)
                                     << QString::fromLatin1("1\0.2.\0\0\0", 8);
    QTest::newRow("Latin-1 byte") << QByteArray("\xE9R00001") << QString::fromLatin1("\xE9" "0.0.001");
    QTest::newRow("all R") << QByteArray("RRRRRRR") << QStringLiteral("  . .");
}

void TestHidPackets::versionField()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, version);

    for (int at : {HidPackets::FirmwareField, HidPackets::MicrocodeField}) {
        QByteArray report = HidPackets::readBuffer(0x12, 80);
        report.replace(at, 7, field);
        QCOMPARE(report.size(), 80);
        QCOMPARE(HidPackets::versionField(report, at), version);
    }
    QByteArray report = HidPackets::readBuffer(0x12, 80);
    report.replace(HidPackets::FirmwareField, 7, field);
    report.replace(HidPackets::MicrocodeField, 7, "2R0200V");
    const HidPackets::Versions versions = HidPackets::parseVersions(report);
    QCOMPARE(versions.firmware, version);
    QCOMPARE(versions.microcode, QStringLiteral("20.2.00V"));
}

void TestHidPackets::hexId_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << "0001";
    QTest::newRow("ABCD") << 0xABCD << "abcd";
    QTest::newRow("0") << 0 << "0000";
    QTest::newRow("FFFF") << 0xFFFF << "ffff";
    QTest::newRow("0xf0e1") << 0xf0e1 << "f0e1";
}

void TestHidPackets::hexId()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    QCOMPARE(HidPackets::hexId(static_cast<unsigned short>(id)), text);
}

void TestHidPackets::cutPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("cut");
    QTest::newRow("no #") << "/dev/hidraw3" << "/dev/hidraw3";
    QTest::newRow("three #") << "\\\\?\\hid#vid_f0e1&pid_0048#7&2a#{guid}" << "\\\\?\\hid#vid_f0e1&pid_0048#7&2a";
    QTest::newRow("# last") << "abc#" << "abc";
    QTest::newRow("# first") << "#abc" << "";
    QTest::newRow("empty") << "" << "";
}

void TestHidPackets::cutPath()
{
    QFETCH(QString, path);
    QFETCH(QString, cut);
    QCOMPARE(HidPackets::cutPath(path), cut);
}

QTEST_APPLESS_MAIN(TestHidPackets)
#include "tst_hidpackets.moc"
