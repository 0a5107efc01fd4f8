// The single-instance guard, seen from real processes of the real program.
#include "TestWorld.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSocket(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Collects what a running first instance writes to its log.
class FirstInstance
{
public:
    explicit FirstInstance(const TestWorld &env)
    {
        env.prepare(process);
        process.setProcessChannelMode(QProcess::MergedChannels);
    }
    ~FirstInstance()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QString log()
    {
        output += QString::fromLocal8Bit(process.readAll());
        return output;
    }
    QStringList values()
    {
        QStringList found;
        const QStringList lines = log().split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            const int at = line.indexOf(QLatin1String("The value is: "));
            if (at >= 0)
                found << line.mid(at + 14).trimmed();
        }
        return found;
    }
    QProcess process;
    QString output;
};

// Starts a later instance and waits for it to end; returns its exit code or -1.
int runLater(const TestWorld &env, const QStringList &args, QString *log = nullptr)
{
    QProcess later;
    env.prepare(later, args);
    later.setProcessChannelMode(QProcess::MergedChannels);
    later.start();
    if (!later.waitForFinished(20000)) {
        later.kill();
        later.waitForFinished();
        return -1;
    }
    if (log)
        *log = QString::fromLocal8Bit(later.readAll());
    return later.exitStatus() == QProcess::NormalExit ? later.exitCode() : -1;
}

}

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void laterStartsHandOver_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("logged");
        QTest::addColumn<bool>("leftOverFile");
        QTest::newRow("no argument") << QStringList() << QString() << false;
        QTest::newRow("last of two") << QStringList{"a", "b"} << "b" << false;
        QTest::newRow("first word of an argument with a blank") << QStringList{"x y"} << "x" << false;
        // A file left under the server's name must not stop the first instance
        // from listening: the later start hands over instead of running too.
        QTest::newRow("left-over socket file") << QStringList{"again"} << "again" << true;
    }

    void laterStartsHandOver()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, logged);
        QFETCH(bool, leftOverFile);
        TestWorld env;
        QVERIFY(env.installProgram());
        if (leftOverFile) {
            QFile stale(env.serverSocket());
            QVERIFY(stale.open(QIODevice::WriteOnly));
        }
        FirstInstance first(env);
        first.process.start();
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(env.serverSocket()), 20000);

        QString laterLog;
        QCOMPARE(runLater(env, args, &laterLog), 0);
        QVERIFY2(laterLog.contains(QLatin1String("Have already connected to server.")), qPrintable(laterLog));
        QTRY_COMPARE_WITH_TIMEOUT(first.values(), QStringList{logged}, 10000);
        QCOMPARE(first.process.state(), QProcess::Running);
    }

    void quickSuccessionIsServedOnceEach()
    {
        TestWorld env;
        QVERIFY(env.installProgram());
        FirstInstance first(env);
        first.process.start();
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(env.serverSocket()), 20000);

        QList<QProcess *> laters;
        for (const char *word : {"one", "two", "three"}) {
            auto *later = new QProcess(this);
            env.prepare(*later, {QString::fromLatin1(word)});
            later->start();
            laters << later;
        }
        for (QProcess *later : laters) {
            QVERIFY(later->waitForFinished(20000));
            QCOMPARE(later->exitCode(), 0);
            delete later;
        }
        QTRY_COMPARE_WITH_TIMEOUT(first.values().size(), 3, 10000);
        QStringList values = first.values();
        values.sort();
        QCOMPARE(values, (QStringList{"one", "three", "two"}));
    }

    // Both sockets (the hand-over and the status channel) live only in a folder
    // of the user's own that no one else may enter: a runtime folder open to
    // others or unset gives way to one the program makes (0700); where that name
    // is taken, the program refuses to start and says why.
    void socketsOnlyInAPrivateFolder_data()
    {
        QTest::addColumn<QString>("runtime");    // "open", "unset"
        QTest::addColumn<bool>("fallbackTaken"); // the fallback folder exists, open to all
        QTest::newRow("runtime folder open to others") << "open" << false;
        QTest::newRow("fallback folder taken") << "unset" << true;
    }

    void socketsOnlyInAPrivateFolder()
    {
        QFETCH(QString, runtime);
        QFETCH(bool, fallbackTaken);
        TestWorld env;
        QVERIFY(env.installProgram());
        QTemporaryDir shared;
        QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777)));
        const QString own = shared.path() + QStringLiteral("/upvane-") + QString::number(geteuid());
        if (fallbackTaken)
            QVERIFY(QDir().mkdir(own) && ::chmod(QFile::encodeName(own).constData(), 0777) == 0);
        QProcessEnvironment processEnv = env.environment();
        processEnv.insert(QStringLiteral("TMPDIR"), shared.path());
        if (runtime == QLatin1String("unset"))
            processEnv.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            QVERIFY(::chmod(QFile::encodeName(env.runtimeDir()).constData(), 0777) == 0);

        FirstInstance first(env);
        first.process.setProcessEnvironment(processEnv);
        first.process.start();
        if (fallbackTaken) {
            QVERIFY(first.process.waitForFinished(20000));
            QCOMPARE(first.process.exitCode(), 1);
            QVERIFY2(first.log().contains(QStringLiteral("Upvane cannot start: no private folder for its sockets: %1 is not private")
                                              .arg(own)),
                     qPrintable(first.log()));
            QVERIFY(QDir(own).isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(own + QStringLiteral("/VELMVELM Upvane")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(own + QStringLiteral("/upvane-status")), 20000);   // made a little later
        QCOMPARE(QFileInfo(own).permissions() & 0x0077, 0);
        QVERIFY(QDir(env.runtimeDir()).isEmpty());
        for (const char *name : {"VELMVELM Upvane", "upvane-status"})
            QVERIFY(!QFileInfo::exists(shared.path() + QLatin1Char('/') + QLatin1String(name)));
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
