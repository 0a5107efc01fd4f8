// The config.ini defaults that the real program applies at start-up, in a
// program folder of the test's own: in the first instance, in a later one that
// exits at once, and where the folder cannot be written.
#include "../common/ProgramEnvironment.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Keys = QMap<QString, QString>;

// The keys as they stand in the file (not through QSettings, whose per-process
// cache could hide a change).
Keys readConfig(const QString &path)
{
    Keys keys;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const int equals = line.indexOf(QLatin1Char('='));
            if (equals > 0)
                keys.insert(line.left(equals), line.mid(equals + 1));
        }
    }
    return keys;
}

bool isSocket(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// The real program in its own world; as root it runs as "nobody" when a folder
// must really be out of its reach.
class Program : public ProgramEnvironment
{
public:
    ~Program()
    {
        first.kill();
        first.waitForFinished();
    }
    QString config() const { return programDir() + QStringLiteral("/config.ini"); }
    bool writeConfig(const QByteArray &text) const
    {
        QFile file(config());
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }

    bool lockProgramFolder()
    {
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        if (geteuid() != 0)
            return QFile::setPermissions(programDir(), readOnly);
        asNobody = QFile::setPermissions(path(QString()), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ExeOwner | QFileDevice::ExeOther);
        for (const char *sub : {"home", "data", "config", "run"})
            asNobody = asNobody && ::chown(QFile::encodeName(path(QString::fromLatin1(sub))).constData(), 65534, 65534) == 0;
        return asNobody;
    }

    void prepare(QProcess &process, const QStringList &args = {}) const
    {
        ProgramEnvironment::prepare(process, args);
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (asNobody) {
            process.setArguments(QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", program()} + args);
            process.setProgram(QStringLiteral("setpriv"));
        }
    }

    bool startFirst()
    {
        prepare(first);
        first.start();
        return first.waitForStarted();
    }

    // A start that finds the first instance running; its exit code, or -1.
    int runLater() const
    {
        QProcess later;
        prepare(later, {QStringLiteral("later")});
        later.start();
        if (!later.waitForFinished(30000))
            return -1;
        return later.exitStatus() == QProcess::NormalExit ? later.exitCode() : -1;
    }

    QByteArray firstLog()
    {
        log += first.readAll();
        return log;
    }

    QProcess first;
    QByteArray log;
    bool asNobody = false;
};

}

class tst_ConfigDefaults : public QObject
{
    Q_OBJECT

private slots:
    void firstStartRepairs_data()
    {
        QTest::addColumn<QByteArray>("before");   // null: no config.ini
        QTest::addColumn<Keys>("after");
        const Keys defaults{{"needUp4k", "1.1.104"}, {"compareStatus", "true"}};
        QTest::newRow("no config.ini") << QByteArray() << defaults;
        QTest::newRow("versions only") << QByteArray("deviceFW_Ver=V1.1.107\nu_Code_Ver=V1.1.104\n")
                                       << Keys{{"deviceFW_Ver", "V1.1.107"}, {"u_Code_Ver", "V1.1.104"},
                                               {"needUp4k", "1.1.104"}, {"compareStatus", "true"}};
        QTest::newRow("True") << QByteArray("needUp4k=1.1.100\ncompareStatus=True\n")
                              << Keys{{"needUp4k", "1.1.100"}, {"compareStatus", "true"}};
        QTest::newRow("0") << QByteArray("compareStatus=0\n") << defaults;
        QTest::newRow("yes") << QByteArray("compareStatus=yes\n") << defaults;
        QTest::newRow("empty compareStatus") << QByteArray("compareStatus=\n") << defaults;
        QTest::newRow("false stays") << QByteArray("compareStatus=false\n")
                                     << Keys{{"needUp4k", "1.1.104"}, {"compareStatus", "false"}};
        QTest::newRow("empty needUp4k stays") << QByteArray("needUp4k=\n")
                                              << Keys{{"needUp4k", ""}, {"compareStatus", "true"}};
    }

    void firstStartRepairs()
    {
        QFETCH(QByteArray, before);
        QFETCH(Keys, after);
        Program program;
        QVERIFY(program.installProgram(UPVANE_PROGRAM_DIR));
        QVERIFY(before.isNull() || program.writeConfig(before));
        QVERIFY(program.startFirst());
        // Every row changes the file, so its final form shows the repair was done.
        QTRY_COMPARE_WITH_TIMEOUT(readConfig(program.config()), after, 20000);
    }

    void laterInstanceRepairsBeforeItExits()
    {
        Program program;
        QVERIFY(program.installProgram(UPVANE_PROGRAM_DIR));
        QVERIFY(program.writeConfig("needUp4k=1.1.104\ncompareStatus=true\n"));
        QVERIFY(program.startFirst());
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(program.serverSocket()), 20000);
        // Once the first instance serves a later start, its own start-up is over.
        QCOMPARE(program.runLater(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(program.firstLog().contains("The value is: later"), 20000);

        QVERIFY(program.writeConfig("deviceFW_Ver=V2\ncompareStatus=TRUE\n"));
        QCOMPARE(program.runLater(), 0);
        QCOMPARE(readConfig(program.config()),
                 (Keys{{"deviceFW_Ver", "V2"}, {"needUp4k", "1.1.104"}, {"compareStatus", "true"}}));
    }

    void readOnlyFolderStartsAllTheSame()
    {
        Program program;
        QVERIFY(program.installProgram(UPVANE_PROGRAM_DIR));
        QVERIFY(program.lockProgramFolder());
        QVERIFY(program.startFirst());
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(program.serverSocket()), 20000);
        QCOMPARE(program.runLater(), 0);   // its settings were destroyed, and failed to write, on the way out
        QVERIFY(!QFile::exists(program.config()));
        QCOMPARE(program.first.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(tst_ConfigDefaults)
#include "tst_configdefaults.moc"
