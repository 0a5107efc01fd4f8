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
        using R = StatusFrame::Result;
        const QByteArray max(StatusFrame::MaxBytes, 'x');
        const int lowest = std::numeric_limits<qint32>::min();

        QTest::newRow("nothing yet") << QByteArray() << R::Incomplete << 0 << QByteArray();
        QTest::newRow("part of the magic") << QByteArray("UP") << R::Incomplete << 0 << QByteArray();
        QTest::newRow("garbage") << QByteArray("hello, tool\n") << R::Invalid << 0 << QByteArray();
        QTest::newRow("magic in other case") << QByteArray("upvs") << R::Invalid << 0 << QByteArray();
        QTest::newRow("header cut") << header(1, 1).left(9) << R::Incomplete << 0 << QByteArray();
        QTest::newRow("bytes cut") << header(1, 3) + "ab" << R::Incomplete << 0 << QByteArray();
        QTest::newRow("empty text") << header(7, 0) << R::Complete << 7 << QByteArray("");
        QTest::newRow("next frame follows") << header(5, 1) + "1" + header(6, 1) + "3" << R::Complete << 5
                                            << QByteArray("1");
        QTest::newRow("counted NUL kept") << header(9, 2) + QByteArray("1\0", 2) << R::Complete << 9
                                          << QByteArray("1\0", 2);
        QTest::newRow("non-ASCII") << header(0, 3) + "\xc3\xa9|" << R::Complete << 0 << QByteArray("\xc3\xa9|");
        QTest::newRow("negative handle") << header(-5, 1) + "2" << R::Complete << -5 << QByteArray("2");
        QTest::newRow("lowest handle") << header(lowest, 1) + "1" << R::Complete << lowest << QByteArray("1");
        QTest::newRow("largest text") << header(1, StatusFrame::MaxBytes) + max << R::Complete << 1 << max;
        QTest::newRow("count above the bound") << header(1, StatusFrame::MaxBytes + 1) << R::Invalid << 0
                                               << QByteArray();
        QTest::newRow("count with the top bit") << header(1, 0x80000001u) + "1" << R::Invalid << 0 << QByteArray();
        QTest::newRow("largest count") << header(1, 0xffffffffu) << R::Invalid << 0 << QByteArray();
    }

    void decode()
    {
        QFETCH(QByteArray, input);
        QFETCH(StatusFrame::Result, expected);
        QFETCH(int, handle);
        QFETCH(QByteArray, bytes);
        StatusFrame frame;
        frame.bytes = "untouched";
        int used = -1;
        QCOMPARE(StatusFrame::decode(input.constData(), input.size(), &frame, &used), expected);
        if (expected != StatusFrame::Result::Complete) {
            QCOMPARE(frame.bytes, QByteArray("untouched"));
            QCOMPARE(used, -1);
            return;
        }
        QCOMPARE(frame.handle, handle);
        QCOMPARE(frame.bytes, bytes);
        QCOMPARE(used, StatusFrame::HeaderSize + bytes.size());
        QCOMPARE(StatusFrame::encode(handle, bytes), input.left(used));
    }

    void encodeRefusesOversizedText()
    {
        QVERIFY(StatusFrame::encode(1, QByteArray(StatusFrame::MaxBytes + 1, 'x')).isEmpty());
    }
};

QTEST_APPLESS_MAIN(tst_StatusFrame)
#include "tst_statusframe.moc"
