// The status channel's frames, byte by byte.
#include "StatusFrame.h"

#include <QtEndian>
#include <QtTest>

#include <limits>

Q_DECLARE_METATYPE(StatusFrame::Result)

namespace {

// A frame header with the count as given (not checked against what follows).
QByteArray header(qint32 handle, quint32 count)
{
    QByteArray bytes("UPVS", 4);
    bytes.resize(StatusFrame::HeaderSize);
    qToBigEndian<qint32>(handle, bytes.data() + 4);
    qToBigEndian<quint32>(count, bytes.data() + 8);
    return bytes;
}

}

class tst_StatusFrame : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<StatusFrame::Result>("expected");
        QTest::addColumn<int>("handle");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("used");
        using R = StatusFrame::Result;
        const QByteArray max(StatusFrame::MaxBytes, 'x');

        QTest::newRow("nothing yet") << QByteArray() << R::Incomplete << 0 << QByteArray() << 0;
        QTest::newRow("part of the magic") << QByteArray("UP") << R::Incomplete << 0 << QByteArray() << 0;
        QTest::newRow("wrong first byte") << QByteArray("X") << R::Invalid << 0 << QByteArray() << 0;
        QTest::newRow("garbage text") << QByteArray("hello, tool\n") << R::Invalid << 0 << QByteArray() << 0;
        QTest::newRow("magic in other case") << QByteArray("upvs") << R::Invalid << 0 << QByteArray() << 0;
        QTest::newRow("header cut") << header(1, 1).left(9) << R::Incomplete << 0 << QByteArray() << 0;
        QTest::newRow("bytes cut") << header(1, 3) + "ab" << R::Incomplete << 0 << QByteArray() << 0;
        QTest::newRow("empty text") << header(7, 0) << R::Complete << 7 << QByteArray("") << 12;
        QTest::newRow("status 3") << header(4660, 1) + "3" << R::Complete << 4660 << QByteArray("3") << 13;
        QTest::newRow("next frame follows") << header(5, 1) + "1" + header(6, 1) + "3" << R::Complete << 5
                                            << QByteArray("1") << 13;
        QTest::newRow("counted NUL kept") << header(9, 2) + QByteArray("1\0", 2) << R::Complete << 9
                                          << QByteArray("1\0", 2) << 14;
        QTest::newRow("negative handle") << header(-5, 1) + "2" << R::Complete << -5 << QByteArray("2") << 13;
        QTest::newRow("lowest handle") << header(std::numeric_limits<qint32>::min(), 1) + "1" << R::Complete
                                       << std::numeric_limits<qint32>::min() << QByteArray("1") << 13;
        QTest::newRow("largest text") << header(1, StatusFrame::MaxBytes) + max << R::Complete << 1 << max
                                      << StatusFrame::MaxFrameSize;
        QTest::newRow("count one above the bound") << header(1, StatusFrame::MaxBytes + 1) << R::Invalid << 0
                                                   << QByteArray() << 0;
        QTest::newRow("count with the top bit set") << header(1, 0x80000001u) + "1" << R::Invalid << 0
                                                    << QByteArray() << 0;
        QTest::newRow("largest count") << header(1, 0xffffffffu) << R::Invalid << 0 << QByteArray() << 0;
    }

    void decode()
    {
        QFETCH(QByteArray, input);
        QFETCH(StatusFrame::Result, expected);
        QFETCH(int, handle);
        QFETCH(QByteArray, bytes);
        QFETCH(int, used);

        StatusFrame frame;
        frame.handle = 123;
        frame.bytes = "untouched";
        int consumed = -1;
        QCOMPARE(StatusFrame::decode(input.constData(), input.size(), &frame, &consumed), expected);
        if (expected == StatusFrame::Result::Complete) {
            QCOMPARE(frame.handle, handle);
            QCOMPARE(frame.bytes, bytes);
            QCOMPARE(consumed, used);
        } else {
            QCOMPARE(frame.handle, 123);
            QCOMPARE(frame.bytes, QByteArray("untouched"));
            QCOMPARE(consumed, -1);
        }
    }

    void encodeRoundTrips_data()
    {
        QTest::addColumn<int>("handle");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("reply 0|") << 0 << QByteArray("0|");
        QTest::newRow("non-ASCII path counts bytes") << 0 << QString::fromUtf8("/dev/hidraw-é|").toUtf8();
        QTest::newRow("empty") << 42 << QByteArray();
        QTest::newRow("NUL inside") << -1 << QByteArray("a\0b", 3);
        QTest::newRow("largest") << 1 << QByteArray(StatusFrame::MaxBytes, '\xff');
    }

    void encodeRoundTrips()
    {
        QFETCH(int, handle);
        QFETCH(QByteArray, bytes);
        const QByteArray encoded = StatusFrame::encode(handle, bytes);
        QCOMPARE(encoded, header(handle, quint32(bytes.size())) + bytes);
        StatusFrame frame;
        int used = 0;
        QCOMPARE(StatusFrame::decode(encoded.constData(), encoded.size(), &frame, &used),
                 StatusFrame::Result::Complete);
        QCOMPARE(frame.handle, handle);
        QCOMPARE(frame.bytes, bytes);
        QCOMPARE(used, encoded.size());
    }

    void encodeRefusesOversizedText()
    {
        QVERIFY(StatusFrame::encode(1, QByteArray(StatusFrame::MaxBytes + 1, 'x')).isEmpty());
    }
};

QTEST_APPLESS_MAIN(tst_StatusFrame)
#include "tst_statusframe.moc"
