// The config.ini defaults that the real program applies at start-up, in a
// program folder of the test's own: in the first instance, in a later one that
// exits at once, and where the folder cannot be written.
#include "../common/ProgramEnvironment.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Keys = QMap<QString, QString>;

// The keys of an INI file as they stand in it (not through QSettings, whose
// per-process cache could hide a change).
Keys readConfig(const QString &path)
{
    Keys keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (!line.startsWith(QLatin1Char('[')) && equals > 0)
            keys.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return keys;
}

bool isSocket(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// The real program in its own world; root runs it as "nobody" where a folder
// must really be out of its reach.
class Program
{
public:
    Program()
    {
        valid = env.isValid() && env.installProgram(UPVANE_PROGRAM_DIR);
    }
    QString config() const { return env.programDir() + QStringLiteral("/config.ini"); }

    bool writeConfig(const QByteArray &text) const
    {
        QFile file(config());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    }

    // Makes the program folder read-only for the program.
    bool lockProgramFolder()
    {
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
            | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
        if (geteuid() != 0)
            return QFile::setPermissions(env.programDir(), readOnly);
        // Root writes anywhere: the program runs as nobody instead, in a world
        // that belongs to nobody apart from the program folder.
        asNobody = true;
        if (!QFile::setPermissions(env.path(QString()), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                       | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther)
            || !QFile::setPermissions(env.programDir(), readOnly | QFileDevice::WriteOwner))
            return false;
        for (const char *sub : {"home", "data", "config", "run"}) {
            if (::chown(QFile::encodeName(env.path(QString::fromLatin1(sub))).constData(), 65534, 65534) != 0)
                return false;
        }
        return true;
    }

    void prepare(QProcess &process, const QStringList &args = {}) const
    {
        env.prepare(process, args);
        process.setProcessChannelMode(QProcess::MergedChannels);
        if (asNobody) {
            process.setArguments(QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                             env.program()} + args);
            process.setProgram(QStringLiteral("setpriv"));
        }
    }

    // Runs a start that finds the first instance and returns its exit code, or -1.
    int runLater() const
    {
        QProcess later;
        prepare(later, {QStringLiteral("later")});
        later.start();
        if (!later.waitForFinished(30000)) {
            later.kill();
            later.waitForFinished();
            return -1;
        }
        return later.exitStatus() == QProcess::NormalExit ? later.exitCode() : -1;
    }

    ProgramEnvironment env;
    bool valid = false;
    bool asNobody = false;
};

class RunningProgram
{
public:
    explicit RunningProgram(const Program &program)
    {
        program.prepare(process);
        process.start();
    }
    ~RunningProgram()
    {
        process.kill();
        process.waitForFinished();
    }
    QString log()
    {
        output += QString::fromLocal8Bit(process.readAll());
        return output;
    }
    QProcess process;
    QString output;
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
        QVERIFY(program.valid);
        if (!before.isNull())
            QVERIFY(program.writeConfig(before));
        RunningProgram first(program);
        // Every row changes the file, so its final form shows the repair was done.
        QTRY_COMPARE_WITH_TIMEOUT(readConfig(program.config()), after, 20000);
        QCOMPARE(first.process.state(), QProcess::Running);
    }

    void laterInstanceRepairsBeforeItExits()
    {
        Program program;
        QVERIFY(program.valid);
        QVERIFY(program.writeConfig("needUp4k=1.1.104\ncompareStatus=true\n"));
        RunningProgram first(program);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(program.env.serverSocket()), 20000);
        // Once the first instance serves a later start, its own start-up is over.
        QCOMPARE(program.runLater(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(first.log().contains(QLatin1String("The value is: later")), 20000);

        QVERIFY(program.writeConfig("deviceFW_Ver=V2\ncompareStatus=TRUE\n"));
        QCOMPARE(program.runLater(), 0);
        QCOMPARE(readConfig(program.config()),
                 (Keys{{"deviceFW_Ver", "V2"}, {"needUp4k", "1.1.104"}, {"compareStatus", "true"}}));
    }

    void readOnlyFolderStartsAllTheSame()
    {
        Program program;
        QVERIFY(program.valid);
        QVERIFY(program.lockProgramFolder());
        RunningProgram first(program);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(program.env.serverSocket()), 20000);
        QCOMPARE(program.runLater(), 0);   // its settings were destroyed, and failed to write, on the way out
        QVERIFY(!QFile::exists(program.config()));
        QVERIFY2(first.process.state() == QProcess::Running, qPrintable(first.log()));
    }
};

QTEST_GUILESS_MAIN(tst_ConfigDefaults)
#include "tst_configdefaults.moc"
