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

struct Run { int exitCode; QByteArray out; QString err; };

// Runs the program copy with `arguments`, under the device harness when `devices` are given.
Run runProgram(const TestWorld &env, const QStringList &arguments, const QStringList &devices = {})
{
    QProcess process;
    env.prepare(process, arguments);
    if (!devices.isEmpty()) {
        QStringList args{RT48PX_HIDRAW, "--transcript", env.path("transcript.txt")};
        for (const QString &device : devices)
            args << "--device" << device;
        process.setArguments(args << "--" << env.program() << arguments);
        process.setProgram("umockdev-wrapper");
    }
    process.start();
    const bool finished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, process.readAllStandardOutput(), process.readAllStandardError()};
}

// The validator's complaints, empty when `json` matches docs/probe.schema.json.
QString schemaErrors(const QByteArray &json)
{
    QProcess python;
    python.start("python3", {"-c", "import json, sys, jsonschema\n"
                                   "v = jsonschema.Draft202012Validator(json.load(open(sys.argv[1])))\n"
                                   "print('\\n'.join(e.message for e in v.iter_errors(json.load(sys.stdin))))\n",
                             UPVANE_SOURCE_DIR "/docs/probe.schema.json"});
    python.write(json);
    python.closeWriteChannel();
    const bool ran = python.waitForFinished(30000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
    return ran ? QString::fromUtf8(python.readAllStandardOutput()).trimmed()
               : "validator failed: " + QString::fromUtf8(python.readAllStandardError());
}

QStringList outcomes(const QJsonObject &report)
{
    QStringList list;
    for (const QJsonValue &d : report["devices"].toArray())
        list << d["vendorId"].toString() + ':' + d["productId"].toString() + ' ' + d["outcome"].toString();
    return list;
}

const QString kMouse = QStringLiteral("kind=mute,vid=f0e2,pid=0002,manufacturer=Mouse-Maker,product=Mouse,serial=MOUSE-77");
const QString kForeign = QStringLiteral("kind=foreign,vid=f0e3,pid=1234,product=Keyboard");
const QByteArray kVersions("deviceFW_Ver=V1.1.107\nu_Code_Ver=V1.1.104\n");

// config: "<folder>" puts a folder in its place, empty none; rt48px: "firmware micro-code stage" or empty;
// error: a part of the one error, or empty; hint: the access hint on standard error.
struct Probe { QStringList devices; QByteArray config; int exitCode; QStringList outcomes; QString rt48px, error; bool hint; };

}

Q_DECLARE_METATYPE(Probe)

class tst_Probe : public QObject
{
    Q_OBJECT

private slots:
    void probe_data()
    {
        QTest::addColumn<Probe>("row");
        const QStringList three{"f0e2:0002 refused", "f0e1:0048 accepted", "f0e3:1234 not asked"};
        const QStringList accepted{"f0e1:0048 accepted"};
        const QStringList stage{"microcode=V1R1103"};
        QTest::newRow("found, micro-code stage runs")
            << Probe{{kMouse, "microcode=V1R1103", kForeign}, kVersions, 0, three, "01.0.107 V1.1.103 true", "", false};
        QTest::newRow("no config.ini: the defaults")
            << Probe{{"microcode=V1R1104"}, {}, 0, accepted, "01.0.107 V1.1.104 false", "", false};
        QTest::newRow("not found")
            << Probe{{kMouse, kForeign}, kVersions, 1, {"f0e2:0002 refused", "f0e3:1234 refused"}, "", "", false};
        QTest::newRow("not found, one device not opened")
            << Probe{{kForeign, "open=fails"}, kVersions, 1, {"f0e3:1234 refused", "f0e1:0048 not opened"}, "", "", true};
        QTest::newRow("no access to any device")
            << Probe{{kMouse + ",open=fails", "open=fails"}, kVersions, 2, {"f0e2:0002 not opened", "f0e1:0048 not opened"},
                     "", "no access to the HID devices: none of the 2 could be opened (f0e2:0002, f0e1:0048)", true};
        QTest::newRow("config.ini malformed") << Probe{stage, "[General\nneedUp4k=1.1.104\n", 2, accepted,
                                                       "01.0.107 V1.1.103 true", "config.ini is not a valid settings file", false};
        QTest::newRow("config.ini in UTF-16") << Probe{stage, TextFiles::utf16("needUp4k=1.1.103\n", true), 0, accepted,
                                                       "01.0.107 V1.1.103 false", "", false};
        QTest::newRow("config.ini in no encoding it reads") << Probe{stage, TextFiles::utf16("needUp4k=1.1.103\n", false), 2,
                                  accepted, "01.0.107 V1.1.103 true", "an encoding this program cannot read", false};
        QTest::newRow("config.ini unreadable")
            << Probe{stage, "<folder>", 2, accepted, "01.0.107 V1.1.103 true", "config.ini cannot be read", false};
    }

    void probe()
    {
        QFETCH(Probe, row);
        TestWorld env;
        QVERIFY(env.installProgram());
        const QString configPath = env.programDir() + "/config.ini";
        if (row.config == "<folder>")
            QVERIFY(QDir().mkpath(configPath));
        else if (!row.config.isEmpty())
            QVERIFY(TextFiles::write(configPath, row.config));

        const QByteArray configBefore = TextFiles::contents(configPath);
        const Run json = runProgram(env, {"--probe", "--json"}, row.devices);
        QCOMPARE(TextFiles::contents(configPath), configBefore);   // left as it was
        QCOMPARE(QFile::exists(configPath), !row.config.isEmpty());
        QCOMPARE(json.exitCode, row.exitCode);
        const QString invalid = schemaErrors(json.out);
        QVERIFY2(invalid.isEmpty(), qPrintable(invalid + '\n' + json.out));
        const QJsonObject report = QJsonDocument::fromJson(json.out).object();
        QCOMPARE(outcomes(report), row.outcomes);
        QCOMPARE(report["exitCode"].toInt(), row.exitCode);
        const QJsonObject found = report["rt48px"].toObject();
        const QStringList seen{found["firmware"].toString(), found["microcode"].toString(),
                               found["microcodeStage"].toBool() ? "true" : "false"};
        QCOMPARE(found.isEmpty() ? QString() : seen.join(' '), row.rt48px);
        const QJsonArray errors = report["errors"].toArray();
        QCOMPARE(errors.size(), row.error.isEmpty() ? 0 : 1);
        QVERIFY2(errors.isEmpty() || errors.first().toString().contains(row.error), qPrintable(errors.first().toString()));
        QCOMPARE(json.err.contains("udevadm control --reload"), row.hint);
        QVERIFY2(!json.err.contains("search:"), "the search's log lines stay out of the terminal");

        // The text for people ends the same, errors on standard error; the log has
        // the search, the other devices by vendor:product only.
        const Run text = runProgram(env, {"--probe"}, row.devices);
        QCOMPARE(text.exitCode, row.exitCode);
        QCOMPARE(text.err.contains("error: "), !row.error.isEmpty());
        const QString log = TextFiles::contents(env.appDataDir() + "/logs/upvane.log");
        QVERIFY2(log.contains(QString("info upvane.search: search: %1 HID device").arg(row.outcomes.size()))
                     && log.contains(row.outcomes.join(", ") + '\n'), qPrintable(log));
        for (const char *other : {"Mouse", "MOUSE-77", "Keyboard"})
            QVERIFY2(!log.contains(other), other);
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
        const QString log = env.appDataDir() + "/logs/upvane.log";
        QTRY_VERIFY_WITH_TIMEOUT(QString(TextFiles::contents(log)).contains("page: start"), 30000);

        const int logBefore = TextFiles::contents(log).size();
        for (const QStringList &args : {QStringList{"--probe"}, QStringList{"--probe", "--json"}}) {
            const Run run = runProgram(env, args);
            QCOMPARE(run.exitCode, 2);
            QVERIFY2(run.err.contains("error: the wizard is running"), qPrintable(run.err));
            if (args.size() == 2)
                QCOMPARE(schemaErrors(run.out), QString());
            QCOMPARE(QJsonDocument::fromJson(run.out).object().value("searched").toBool(args.size() == 2), false);
        }
        QVERIFY(!TextFiles::contents(log).mid(logBefore).contains("probe:"));   // its log is the wizard's alone
        // A later start that does hand over is the first thing the wizard hears of.
        QCOMPARE(runProgram(env, {"hello"}).exitCode, 0);
        QString output;
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromLocal8Bit(wizard.readAll())).contains("The value is: hello"), 10000);
        QCOMPARE(output.count("The value is:"), 1);
        QCOMPARE(wizard.state(), QProcess::Running);

        // A socket file left behind by a wizard that died is no running wizard.
        wizard.kill();
        QVERIFY(wizard.waitForFinished(10000));
        QVERIFY(QFile::exists(env.serverSocket()));
        const Run afterwards = runProgram(env, {"--probe"});
        QCOMPARE(afterwards.exitCode, 1);
        QVERIFY(!afterwards.err.contains("wizard is running"));
    }
};

QTEST_GUILESS_MAIN(tst_Probe)
#include "tst_probe.moc"
