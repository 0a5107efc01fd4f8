// What the device tests do not reach: the signature and the acceptance of a
// report at their edges, the version fields of odd information reports.
#include "HidPackets.h"

#include <QtTest>

// A report of `length` bytes with `value` at byte `at`, zeros elsewhere.
struct Report { int length, at, value; bool accepted; };
Q_DECLARE_METATYPE(Report)

class TestHidPackets : public QObject
{
    Q_OBJECT

private slots:
    void signature_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("found");
        QTest::newRow("FU at 1") << QByteArray::fromHex("814655FF") << true;
        QTest::newRow("across a byte boundary") << QByteArray::fromHex("8134655A") << true;
        QTest::newRow("FU reversed") << QByteArray::fromHex("81554600") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void signature()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, found);
        QCOMPARE(HidPackets::hasSignature(reply), found);
    }

    // byte 4 of the status report, byte 50 of the information report
    void accepted_data()
    {
        QTest::addColumn<Report>("row");
        for (int module : {2, 3, 0x80})
            QTest::addRow("status module %d", module) << Report{6, 4, module, module <= 2};
        QTest::newRow("status shorter than 5 bytes") << Report{4, 4, 0, false};
        QTest::newRow("information byte 50 = 0x80") << Report{80, 50, 0x80, true};
        QTest::newRow("information shorter than 51 bytes") << Report{50, 50, 1, false};
    }
    void accepted()
    {
        QFETCH(Report, row);
        QByteArray report(row.at + 1, '\0');
        report[row.at] = static_cast<char>(row.value);
        report.resize(row.length);
        QCOMPARE(row.at == 4 ? HidPackets::statusAccepted(report) : HidPackets::informationAccepted(report), row.accepted);
    }

    void versions_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("version");
        QTest::newRow("lower-case r") << QByteArray("V1r1104") << QStringLiteral("V1.1.104");
        QTest::newRow("no R") << QByteArray("1234567") << QStringLiteral("12.3.4567");
        QTest::newRow("zero bytes stay") << QByteArray("1R\0" "2\0\0\0", 7) << QString::fromLatin1("1\0.2.\0\0\0", 8);
        QTest::newRow("Latin-1 byte") << QByteArray("\xE9R00001") << QString::fromLatin1("\xE9" "0.0.001");
        QTest::newRow("all R") << QByteArray("RRRRRRR") << QStringLiteral("  . .");
    }
    void versions()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, version);
        QByteArray report(80, '\0');
        report.replace(HidPackets::FirmwareField, 7, field);
        QCOMPARE(HidPackets::parseVersions(report).firmware, version);
        report.replace(HidPackets::MicrocodeField, 7, field);
        QCOMPARE(HidPackets::parseVersions(report).microcode, version);
    }
};

QTEST_APPLESS_MAIN(TestHidPackets)
#include "tst_hidpackets.moc"
