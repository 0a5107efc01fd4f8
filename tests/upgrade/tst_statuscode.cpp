// Which status texts end a stage: the wizard's own reading (Number() of the part
// before ":") decides, so every row is checked against the script engine too.
#include "StatusCode.h"

#include <QJSEngine>
#include <QtTest>

class tst_StatusCode : public QObject
{
    Q_OBJECT

private slots:
    void isFinal_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("final");
        const QList<QPair<const char *, bool>> rows{
            {"0", true},     {"1", true},      {"2", true},        {"", true},       {" ", true},
            {"\t1\n", true}, {"+1", true},     {"-0", true},       {"1.0", true},    {"1e0", true},
            {"0x2", true},   {"0X1", true},    {"0b10", true},     {"0o1", true},    {"01", true},
            {".2e1", true},  {"2:junk", true}, {"3", false},       {"4", false},     {"-1", false},
            {"7", false},    {"x", false},     {"1x", false},      {"0x", false},    {"-0x1", false},
            {"1e", false},   {"1,0", false},   {"inf", false},     {"NaN", false},   {"Infinity", false},
            {"1 1", false},  {"++1", false},   {"1.5", false},     {"0x1g", false},  {"\xef\xbb\xbf" "1", true},
        };
        for (const auto &row : rows)
            QTest::newRow(qPrintable(QStringLiteral("'%1'").arg(QString::fromUtf8(row.first)))) << QString::fromUtf8(row.first) << row.second;
        QTest::newRow("counted NUL") << QString::fromUtf8("1\0", 2) << false;
    }

    void isFinal()
    {
        QFETCH(QString, text);
        QFETCH(bool, final);
        QJSEngine engine;
        engine.globalObject().setProperty(QStringLiteral("text"), text);
        const bool script = engine.evaluate(QStringLiteral("var c = Number(text.split(':')[0]); c === 0 || c === 1 || c === 2"))
                                .toBool();
        QCOMPARE(script, final);
        QCOMPARE(StatusCode::isFinal(text), final);
    }
};

QTEST_GUILESS_MAIN(tst_StatusCode)
#include "tst_statuscode.moc"
