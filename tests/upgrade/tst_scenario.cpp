// The stand-in upgrade program's scenario texts, which tests on both systems
// write: steps, presets, the bytes sent, and the replies it accepts.
#include "Scenario.h"

#include <QtTest>

namespace {

// The steps in one line: "pause 300 | send 33 | send 34+31 | hang | exit"
// (sends as the hex of each message, "" for an empty one, "raw " before one
// sent by "hex:").
QString describe(const std::vector<Scenario::Step> &steps)
{
    QStringList parts;
    for (const Scenario::Step &step : steps) {
        switch (step.kind) {
        case Scenario::Step::Send: {
            QStringList messages;
            for (size_t i = 0; i < step.messages.size(); ++i)
                messages << (step.raw[i] ? QStringLiteral("raw ") : QString())
                                + QString::fromLatin1(QByteArray::fromStdString(step.messages[i]).toHex());
            parts << QStringLiteral("send ") + messages.join(QLatin1Char('+'));
            break;
        }
        case Scenario::Step::Pause:
            parts << QStringLiteral("pause %1").arg(step.milliseconds);
            break;
        case Scenario::Step::Freeze:
            parts << QStringLiteral("freeze %1").arg(step.milliseconds);
            break;
        case Scenario::Step::Hang:
            parts << QStringLiteral("hang");
            break;
        case Scenario::Step::Exit:
            parts << QStringLiteral("exit");
            break;
        case Scenario::Step::Crash:
            parts << QStringLiteral("crash");
            break;
        case Scenario::Step::Await:
            parts << QStringLiteral("await ") + QString::fromStdString(step.rest);
            break;
        case Scenario::Step::Child:
            parts << QStringLiteral("child [%1]").arg(QString::fromStdString(step.rest));
            break;
        }
    }
    return parts.join(QStringLiteral(" | "));
}

}

class TestScenario : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("steps");   // or the offending step after "error "

        QTest::newRow("normal") << "normal" << "pause 300 | send 33 | pause 300 | send 31";
        QTest::newRow("preset among blanks") << "  silent\t" << "hang";
        QTest::newRow("burst") << "burst" << "pause 300 | send 33 | send 34+31";
        QTest::newRow("fail2") << "fail2" << "pause 300 | send 33 | pause 300 | send 32";
        QTest::newRow("quiet") << "quiet" << "exit";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("negative and long codes") << "-1 12345" << "send 2d31 | send 3132333435";
        QTest::newRow("hex with NUL, empty hex") << "hex:3100 hex:" << "send raw 3100 | send raw ";
        QTest::newRow("mixed burst") << "hex:31+4+hex:" << "send raw 31+34+raw ";
        QTest::newRow("crash") << "crash" << "pause 300 | send 33 | crash";
        QTest::newRow("orphan: the rest goes to the child") << "orphan" << "child [pause:1000 3 pause:300 1]";
        QTest::newRow("child last") << "3 child" << "send 33 | child []";
        QTest::newRow("await") << "await:/tmp/go 1" << "await /tmp/go | send 31";
        QTest::newRow("await without file") << "await:" << "error await:";
        QTest::newRow("freeze") << "hex:33 freeze:9000 1" << "send raw 33 | freeze 9000 | send 31";
        QTest::newRow("freeze without number") << "freeze:x" << "error freeze:x";
        QTest::newRow("pause 0") << "pause:0 exit" << "pause 0 | exit";
        QTest::newRow("preset name among steps") << "3 normal" << "error normal";
        QTest::newRow("negative pause") << "pause:-1" << "error pause:-1";
        QTest::newRow("pause without number") << "1 pause:" << "error pause:";
        QTest::newRow("odd hex") << "hex:3" << "error hex:3";
        QTest::newRow("not hex") << "hex:zz" << "error hex:zz";
        QTest::newRow("empty burst part") << "4+" << "error 4+";
        QTest::newRow("sign alone") << "-" << "error -";
        QTest::newRow("word") << "1 later" << "error later";
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, steps);
        std::vector<Scenario::Step> parsed;
        std::string error;
        const bool ok = Scenario::parse(text.toStdString(), &parsed, &error);
        QCOMPARE(ok ? describe(parsed) : QStringLiteral("error ") + QString::fromStdString(error), steps);
    }

    void replies_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("owed");
        QTest::addColumn<bool>("fits");

        QTest::newRow("3: a path") << "3" << "\\\\?\\hid#vid_f0e1&pid_0048#7&1&0&0000|" << 1 << true;
        QTest::newRow("3: nothing but the bar") << "3" << "|" << 1 << false;
        QTest::newRow("3: no bar") << "3" << "/dev/hidraw1" << 1 << false;
        QTest::newRow("4: zero") << "4" << "0|" << 1 << true;
        QTest::newRow("4: a path") << "4" << "/dev/hidraw1|" << 1 << false;
        QTest::newRow("1: nothing owed") << "1" << "" << 0 << false;
        QTest::newRow("03: not 3") << "03" << "" << 0 << false;
    }

    void replies()
    {
        QFETCH(QString, message);
        QFETCH(QString, reply);
        QFETCH(int, owed);
        QFETCH(bool, fits);
        QCOMPARE(Scenario::repliesOwed(message.toStdString()), owed);
        QCOMPARE(Scenario::replyFits(message.toStdString(), reply.toStdString()), fits);
    }
};

QTEST_GUILESS_MAIN(TestScenario)
#include "tst_scenario.moc"
