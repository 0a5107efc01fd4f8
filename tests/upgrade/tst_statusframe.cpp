// The status channel's frames, byte by byte, and which status texts end a stage.
#include "StatusCode.h"
#include "StatusFrame.h"

#include <QtEndian>
#include <QtTest>

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
        using R = StatusFrame::Result;
        QTest::newRow("part of the magic") << QByteArray("UP") << R::Incomplete;
        QTest::newRow("garbage") << QByteArray("hello, tool\n") << R::Invalid;
        QTest::newRow("header cut") << header(1, 1).left(9) << R::Incomplete;
        QTest::newRow("bytes cut") << header(1, 3) + "ab" << R::Incomplete;
        QTest::newRow("empty text, next frame follows") << header(-7, 0) + header(6, 1) + "3" << R::Complete;   // more: fuzz_statusframe
        QTest::newRow("largest text") << header(1, StatusFrame::MaxBytes) + QByteArray(StatusFrame::MaxBytes, 'x') << R::Complete;
        QTest::newRow("count above the bound") << header(1, StatusFrame::MaxBytes + 1) << R::Invalid;
        QTest::newRow("largest count") << header(1, 0xffffffffu) << R::Invalid;
    }

    // A decoded frame encodes back to the bytes it took from the input, which
    // header() built independently of encode().
    void decode()
    {
        QFETCH(QByteArray, input); QFETCH(StatusFrame::Result, expected);
        StatusFrame frame;
        frame.bytes = "untouched";
        int used = -1;
        QCOMPARE(StatusFrame::decode(input.constData(), input.size(), &frame, &used), expected);
        if (expected == StatusFrame::Result::Complete)
            QCOMPARE(StatusFrame::encode(frame.handle, frame.bytes), input.left(used));
        else
            QVERIFY(frame.bytes == "untouched" && used == -1);
    }

    void encodeRefusesOversizedText()
    {
        QVERIFY(StatusFrame::encode(1, QByteArray(StatusFrame::MaxBytes + 1, 'x')).isEmpty());
    }

    void isFinal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("final");
        for (const char *text : {"0", "1", "2", "", " ", "\t1\n", "01", "2:junk"})
            QTest::addRow("'%s'", text) << QString::fromUtf8(text) << true;
        for (const char *text : {"3", "12", "1x", "-1", "+1", "1.0", "0x1", "1 1", "x"})
            QTest::addRow("'%s'", text) << QString::fromUtf8(text) << false;
        QTest::newRow("counted NUL") << QString::fromUtf8("1\0", 2) << false;
    }

    void isFinal()
    {
        QFETCH(QString, text); QFETCH(bool, final);
        QCOMPARE(StatusCode::isFinal(text), final);
    }
};

QTEST_APPLESS_MAIN(tst_StatusFrame)
#include "tst_statusframe.moc"
