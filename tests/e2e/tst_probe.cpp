// upvane --probe, the real program: the emulated devices reach the unmodified
// hidapi-hidraw through the umockdev harness; the JSON is checked against the
// schema in docs/ with a real validator.
#include "TestWorld.h"
#include "TextFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// Runs the program copy with `arguments`, under the device harness when
// `devices` are given.
Run runProgram(const TestWorld &env, const QStringList &arguments, const QStringList &devices = {})
{
    QProcess process;
    env.prepare(process, arguments);
    if (!devices.isEmpty()) {
        QStringList args{QStringLiteral(RT48PX_HIDRAW), QStringLiteral("--transcript"),
                         env.path(QStringLiteral("transcript.txt"))};
        for (const QString &device : devices)
            args << QStringLiteral("--device") << device;
        args << QStringLiteral("--") << env.program() << arguments;
        process.setProgram(QStringLiteral("umockdev-wrapper"));
        process.setArguments(args);
    }
    process.start();
    Run run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The validator's complaint, empty when `json` matches docs/probe.schema.json.
QString schemaErrors(const QByteArray &json)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json, sys, jsonschema\n"
                                 "schema = json.load(open(sys.argv[1]))\n"
                                 "v = jsonschema.Draft202012Validator(schema)\n"
                                 "errors = [e.message for e in v.iter_errors(json.load(sys.stdin))]\n"
                                 "print('\\n'.join(errors))\n"
                                 "sys.exit(1 if errors else 0)\n"),
                  QStringLiteral(UPVANE_SOURCE_DIR "/docs/probe.schema.json")});
    python.write(json);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000))
        return QStringLiteral("validator did not finish");
    if (python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return QString::fromUtf8(python.readAllStandardOutput() + python.readAllStandardError());
    return QString();
}

QStringList outcomes(const QJsonObject &report)
{
    QStringList list;
    for (const QJsonValue &d : report.value(QStringLiteral("devices")).toArray())
        list << d[QStringLiteral("vendorId")].toString() + QLatin1Char(':') + d[QStringLiteral("productId")].toString()
                    + QLatin1Char(' ') + d[QStringLiteral("outcome")].toString();
    return list;
}

const QString kMouse = QStringLiteral("kind=mute,vid=f0e2,pid=0002,manufacturer=Mouse-Maker,product=Mouse,serial=MOUSE-77");
const QString kForeign = QStringLiteral("kind=foreign,vid=f0e3,pid=1234,product=Keyboard");
const QByteArray kVersions("deviceFW_Ver=V1.1.107\nu_Code_Ver=V1.1.104\n");

}

class tst_Probe : public QObject
{
    Q_OBJECT

private slots:
    void probe_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QByteArray>("config");      // "<folder>": a folder in its place; empty: none
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("outcomes");
        QTest::addColumn<QString>("rt48px");         // "firmware micro-code stage" or empty
        QTest::addColumn<QString>("error");          // a part of the one error, or empty
        QTest::addColumn<bool>("hint");              // the access hint on standard error

        const QStringList three{"f0e2:0002 refused", "f0e1:0048 accepted", "f0e3:1234 not asked"};
        QTest::newRow("found, micro-code stage runs")
            << QStringList{kMouse, "microcode=V1R1103", kForeign} << kVersions << 0 << three
            << "01.0.107 V1.1.103 true" << "" << false;
        QTest::newRow("no config.ini: the defaults")
            << QStringList{"microcode=V1R1104"} << QByteArray() << 0 << QStringList{"f0e1:0048 accepted"}
            << "01.0.107 V1.1.104 false" << "" << false;
        QTest::newRow("not found") << QStringList{kMouse, kForeign} << kVersions << 1
                                   << QStringList{"f0e2:0002 refused", "f0e3:1234 refused"} << "" << "" << false;
        QTest::newRow("not found, one device not opened")
            << QStringList{kForeign, "open=fails"} << kVersions << 1
            << QStringList{"f0e3:1234 refused", "f0e1:0048 not opened"} << "" << "" << true;
        QTest::newRow("no access to any device")
            << QStringList{kMouse + ",open=fails", "open=fails"} << kVersions << 2
            << QStringList{"f0e2:0002 not opened", "f0e1:0048 not opened"} << ""
            << "no access to the HID devices: none of the 2 could be opened (f0e2:0002, f0e1:0048)" << true;
        QTest::newRow("config.ini malformed")
            << QStringList{"microcode=V1R1103"} << QByteArray("[General\nneedUp4k=1.1.104\n") << 2
            << QStringList{"f0e1:0048 accepted"} << "01.0.107 V1.1.103 true" << "config.ini is not a valid settings file"
            << false;
        QTest::newRow("config.ini in UTF-16")
            << QStringList{"microcode=V1R1103"} << TextFiles::utf16("needUp4k=1.1.103\n", true) << 0 << QStringList{"f0e1:0048 accepted"}
            << "01.0.107 V1.1.103 false" << "" << false;
        QTest::newRow("config.ini in no encoding it reads")
            << QStringList{"microcode=V1R1103"} << TextFiles::utf16("needUp4k=1.1.103\n", false) << 2
            << QStringList{"f0e1:0048 accepted"} << "01.0.107 V1.1.103 true" << "an encoding this program cannot read"
            << false;
        QTest::newRow("config.ini unreadable")
            << QStringList{"microcode=V1R1103"} << QByteArray("<folder>") << 2 << QStringList{"f0e1:0048 accepted"}
            << "01.0.107 V1.1.103 true" << "config.ini cannot be read" << false;
    }

    void probe()
    {
        QFETCH(QStringList, devices);
        QFETCH(QByteArray, config);
        QFETCH(int, exitCode);
        QFETCH(QStringList, outcomes);
        QFETCH(QString, rt48px);
        QFETCH(QString, error);
        QFETCH(bool, hint);

        TestWorld env;
        QVERIFY(env.installProgram());
        const QString configPath = env.programDir() + QStringLiteral("/config.ini");
        if (config == "<folder>")
            QVERIFY(QDir().mkpath(configPath));
        else if (!config.isEmpty())
            QVERIFY(TextFiles::write(configPath, config));

        const QByteArray configBefore = TextFiles::contents(configPath);
        const Run json = runProgram(env, {QStringLiteral("--probe"), QStringLiteral("--json")}, devices);
        QCOMPARE(TextFiles::contents(configPath), configBefore);   // left as it was
        QCOMPARE(QFile::exists(configPath), !config.isEmpty());
        QCOMPARE(json.exitCode, exitCode);
        const QString invalid = schemaErrors(json.out);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid + QLatin1Char('\n') + QString::fromUtf8(json.out)));
        const QJsonObject report = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(::outcomes(report), outcomes);
        QCOMPARE(report.value(QStringLiteral("exitCode")).toInt(), exitCode);
        const QJsonObject found = report.value(QStringLiteral("rt48px")).toObject();
        const QStringList seen{found["firmware"].toString(), found["microcode"].toString(),
                               found["microcodeStage"].toBool() ? "true" : "false"};
        QCOMPARE(found.isEmpty() ? QString() : seen.join(' '), rt48px);
        const QJsonArray errors = report.value(QStringLiteral("errors")).toArray();
        QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
        if (!error.isEmpty())
            QVERIFY2(errors.first().toString().contains(error), qPrintable(errors.first().toString()));
        QCOMPARE(json.err.contains(QLatin1String("udevadm control --reload")), hint);
        QVERIFY2(!json.err.contains(QLatin1String("search:")), "the search's log lines stay out of the terminal");

        // The text for people ends the same, errors on standard error; the log has
        // the search, the other devices by vendor:product only.
        const Run text = runProgram(env, {QStringLiteral("--probe")}, devices);
        QCOMPARE(text.exitCode, exitCode);
        QCOMPARE(text.err.contains(QLatin1String("error: ")), !error.isEmpty());
        const QString log = QString::fromUtf8(TextFiles::contents(env.appDataDir() + QStringLiteral("/logs/upvane.log")));
        QVERIFY2(log.contains(QStringLiteral("info upvane.search: search: %1 HID device").arg(outcomes.size()))
                     && log.contains(outcomes.join(QStringLiteral(", ")) + QLatin1Char('\n')), qPrintable(log));
        for (const char *other : {"Mouse", "MOUSE-77", "Keyboard"})
            QVERIFY2(!log.contains(QLatin1String(other)), other);
    }

    // While the wizard runs the probe refuses, and the wizard hears of neither probe.
    void refusesWhileTheWizardRuns()
    {
        TestWorld env;
        QVERIFY(env.installProgram());
        QProcess wizard;
        env.prepare(wizard);
        wizard.setProcessChannelMode(QProcess::MergedChannels);
        wizard.start();
        const QString log = env.appDataDir() + QStringLiteral("/logs/upvane.log");
        QTRY_VERIFY_WITH_TIMEOUT(QString::fromUtf8(TextFiles::contents(log)).contains(QLatin1String("page: start")), 30000);

        const QString logBefore = QString::fromUtf8(TextFiles::contents(log));
        for (const QStringList &args : {QStringList{"--probe"}, QStringList{"--probe", "--json"}}) {
            const Run run = runProgram(env, args);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains(QLatin1String("error: the wizard is running")), qPrintable(run.err));
            if (args.contains(QLatin1String("--json"))) {
                QCOMPARE(schemaErrors(run.out), QString());
                QCOMPARE(QJsonDocument::fromJson(run.out).object().value(QStringLiteral("searched")).toBool(true), false);
            }
        }
        QVERIFY(!QString::fromUtf8(TextFiles::contents(log)).mid(logBefore.size()).contains(QLatin1String("probe:")));   // its log is the wizard's alone
        // A later start that does hand over is the first thing the wizard hears of.
        QCOMPARE(runProgram(env, {QStringLiteral("hello")}).exitCode, 0);
        QString output;
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromLocal8Bit(wizard.readAll())).contains(QLatin1String("The value is: hello")), 10000);
        QCOMPARE(output.count(QLatin1String("The value is:")), 1);
        QCOMPARE(wizard.state(), QProcess::Running);

        // A socket file left behind by a wizard that died is no running wizard.
        wizard.kill();
        QVERIFY(wizard.waitForFinished(10000));
        QVERIFY(QFile::exists(env.serverSocket()));
        const Run afterwards = runProgram(env, {QStringLiteral("--probe")});
        QCOMPARE(afterwards.exitCode, 1);
        QVERIFY(!afterwards.err.contains(QLatin1String("wizard is running")));
    }
};

QTEST_GUILESS_MAIN(tst_Probe)
#include "tst_probe.moc"
