// The config.ini defaults that the real program applies at start-up, in a
// program folder of the test's own: in the first instance, in a later one that
// exits at once, and where the folder cannot be written.
#include "TestWorld.h"
#include "TextFiles.h"

#include <QtTest>

#include <unistd.h>

namespace {

using Keys = QMap<QString, QString>;

// The real program in its own world; as root it runs as "nobody" when a folder
// must really be out of its reach.
class Program : public TestWorld
{
public:
    Program() { installProgram(); }
    ~Program() { first.kill(); first.waitForFinished(); }
    QString config() const { return programDir() + QStringLiteral("/config.ini"); }
    // The keys as they stand in the file (QSettings' per-process cache could hide a change).
    Keys readConfig() const
    {
        Keys keys;
        for (const QString &line : TextFiles::lines(config())) {
            if (line.indexOf(QLatin1Char('=')) > 0)
                keys.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).trimmed());
        }
        return keys;
    }
    // Writes config.ini, or removes it for a null text.
    bool writeConfig(const QByteArray &text) const
    {
        return text.isNull() ? !QFile::exists(config()) || QFile::remove(config()) : TextFiles::write(config(), text);
    }

    bool lockProgramFolder()
    {
        if (geteuid() != 0)
            return QFile::setPermissions(programDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        asNobody = QFile::setPermissions(path(QString()), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ExeOwner | QFileDevice::ExeOther);
        for (const char *sub : {"home", "data", "config", "run"})
            asNobody = asNobody && ::chown(QFile::encodeName(path(QString::fromLatin1(sub))).constData(), 65534, 65534) == 0;
        return asNobody;
    }

    void prepare(QProcess &process, const QStringList &args = {}) const
    {
        TestWorld::prepare(process, args);
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
        const bool ended = later.waitForFinished(30000);
        laterOutput = QString::fromLocal8Bit(later.readAll());
        return ended && later.exitStatus() == QProcess::NormalExit ? later.exitCode() : -1;
    }
    mutable QString laterOutput;

    QProcess first;
    bool asNobody = false;
};

}

class tst_ConfigDefaults : public QObject
{
    Q_OBJECT

private slots:
    void startUpRepairs_data()
    {
        QTest::addColumn<QByteArray>("before");   // null: no config.ini
        QTest::addColumn<bool>("locked");         // the program folder cannot be written
        QTest::addColumn<Keys>("after");
        QTest::newRow("no config.ini") << QByteArray() << false << Keys{{"needUp4k", "1.1.104"}, {"compareStatus", "true"}};
        QTest::newRow("read-only folder") << QByteArray() << true << Keys();
    }

    void startUpRepairs()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, locked);
        QFETCH(Keys, after);
        Program program;
        QVERIFY(program.writeConfig(before));
        QVERIFY(!locked || program.lockProgramFolder());
        QVERIFY(program.startFirst());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program.serverSocket()), 20000);
        // Every unlocked row changes the file, so its final form shows the repair was done.
        QTRY_COMPARE_WITH_TIMEOUT(program.readConfig(), after, 20000);

        // The same in a later instance, which hands over and exits at once.
        QVERIFY(program.writeConfig(before));
        QCOMPARE(program.runLater(), 0);
        QCOMPARE(program.readConfig(), after);
        // it has no use for a status channel, and says nothing about one
        QVERIFY2(!program.laterOutput.contains(QLatin1String("Status channel")), qPrintable(program.laterOutput));
        QCOMPARE(program.first.state(), QProcess::Running);
    }
};

QTEST_GUILESS_MAIN(tst_ConfigDefaults)
#include "tst_configdefaults.moc"
