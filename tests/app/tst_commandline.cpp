// The program's own options, and the short version the start screen shows.
#include "CommandLine.h"
#include "VersionText.h"

#include <QtTest>

Q_DECLARE_METATYPE(CommandLine::Mode)

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Mode>("mode");
        QTest::addColumn<bool>("json");
        QTest::addColumn<QString>("error");
        using M = CommandLine::Mode;
        QTest::newRow("none: the wizard") << QStringList() << M::Wizard << false << "";
        QTest::newRow("anything else: the wizard's hand-over") << QStringList{"-f", "x"} << M::Wizard << false << "";
        QTest::newRow("--probe") << QStringList{"--probe"} << M::Probe << false << "";
        QTest::newRow("--json --probe") << QStringList{"--json", "--probe"} << M::Probe << true << "";
        QTest::newRow("-h with --probe") << QStringList{"--probe", "-h"} << M::Help << false << "";
        QTest::newRow("-?") << QStringList{"-?"} << M::Help << false << "";
        QTest::newRow("-v") << QStringList{"-v"} << M::Version << false << "";
        QTest::newRow("--json alone") << QStringList{"--json"} << M::Invalid << false << "--json goes with --probe";
        QTest::newRow("--probe --version") << QStringList{"--probe", "--version"} << M::Invalid << false
                                           << "--probe and --version do not go together";
        QTest::newRow("stray word") << QStringList{"--probe", "now"} << M::Invalid << false << "unknown option: now";
    }
    void parse()
    {
        QFETCH(QStringList, arguments); QFETCH(CommandLine::Mode, mode); QFETCH(bool, json); QFETCH(QString, error);
        const CommandLine::Options options = CommandLine::parse(arguments);
        QVERIFY(options.mode == mode && options.json == json);
        QCOMPARE(options.error, error);
    }

    void shortVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("expected");
        QTest::newRow("product version") << "1.1.107.1" << "1.1.107";
        QTest::newRow("minor a number, build three digits") << "01.04.5.9" << "01.4.005";
        QTest::newRow("missing parts read as 0") << "1.2.3" << "1.2.000";
        QTest::newRow("empty") << "" << "0.0.000";
    }
    void shortVersion()
    {
        QFETCH(QString, version); QFETCH(QString, expected);
        QCOMPARE(VersionText::shortVersion(version), expected);
    }
};

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
