// The single-instance guard and what the start-up itself sees to, from real
// processes of the real program.
#include "TestWorld.h"
#include "TextFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <memory>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isSocket(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// What the first instance has written, and the values it was handed, sorted.
QStringList handedOver(QProcess &first, QString &output)
{
    output += QString::fromLocal8Bit(first.readAll());
    QStringList values = output.split('\n').filter("The value is: ");
    values.replaceInStrings(QRegularExpression("^.*The value is: |\\s+$"), QString()).sort();
    return values;
}

// The real program in a world whose runtime folder is open to others, with a
// shared temporary folder where its own private one goes.
class Program : public TestWorld
{
public:
    Program() : own(shared.path() + "/upvane-" + QString::number(geteuid()))
    {
        valid = installProgram() && QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777))
            && ::chmod(QFile::encodeName(runtimeDir()).constData(), 0777) == 0;
        env.insert("TMPDIR", shared.path());
    }
    ~Program() { first.kill(); first.waitForFinished(); }
    void start(QProcess &process, const QStringList &arguments = {}) const
    {
        prepare(process, arguments);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
    }
    QString config() const { return programDir() + "/config.ini"; }

    QTemporaryDir shared;
    const QString own;
    QProcessEnvironment env = environment();
    QProcess first;
    bool valid = false;
};

}

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    // Later starts in quick succession each hand their last argument (its first
    // word) over, once each, and exit; a later one says nothing of a status
    // channel, for which it has no use. Neither a socket file left under the
    // server's name, nor a log it cannot write (its lines still reach standard
    // error), nor a config.ini it cannot write keeps the first from running; a
    // start writes the defaults into a missing config.ini. Both sockets live in
    // the program's own folder (0700), the runtime folder being open to others.
    void laterStartsHandOver()
    {
        Program env;
        QVERIFY(env.valid);
        QVERIFY(QDir().mkpath(env.own) && ::chmod(QFile::encodeName(env.own).constData(), 0700) == 0);
        QVERIFY(TextFiles::write(env.own + "/VELMVELM Upvane", QByteArray()));
        QVERIFY(QDir().mkpath(env.appDataDir()));
        QVERIFY(TextFiles::write(env.appDataDir() + "/logs", QByteArray()));   // a file where the folder goes
        QVERIFY(QDir().mkpath(env.config()));   // a folder where the file goes
        env.start(env.first);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(env.own + "/VELMVELM Upvane"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(env.own + "/upvane-status"), 20000);   // made a little later
        QVERIFY(QDir(env.runtimeDir()).isEmpty());
        QVERIFY(QDir(env.config()).removeRecursively());

        const QList<QStringList> arguments{{}, {"a", "b"}, {"x y"}, {"one"}, {"two"}};
        std::vector<std::unique_ptr<QProcess>> laters;
        for (const QStringList &args : arguments) {
            laters.push_back(std::make_unique<QProcess>());
            env.start(*laters.back(), args);
        }
        for (const auto &later : laters) {
            QVERIFY(later->waitForFinished(20000));
            QCOMPARE(later->exitCode(), 0);
            const QByteArray output = later->readAll();
            QVERIFY2(output.contains("Have already connected to server.") && !output.contains("Status channel"), output.constData());
        }
        QString output;
        QTRY_COMPARE_WITH_TIMEOUT(handedOver(env.first, output), (QStringList{"", "b", "one", "two", "x"}), 10000);
        QCOMPARE(env.first.state(), QProcess::Running);
        QCOMPARE(TextFiles::lines(env.config()), (QStringList{"[General]", "compareStatus=true", "needUp4k=1.1.104"}));
    }

    // With no runtime folder and the name of its own one taken, the program
    // refuses to start and says why.
    void noPrivateFolder()
    {
        Program env;
        QVERIFY(env.valid);
        QVERIFY(QDir().mkdir(env.own) && ::chmod(QFile::encodeName(env.own).constData(), 0777) == 0);
        env.env.remove("XDG_RUNTIME_DIR");
        env.start(env.first);
        QVERIFY(env.first.waitForFinished(20000));
        QCOMPARE(env.first.exitCode(), 1);
        const QString log = QString::fromLocal8Bit(env.first.readAll());
        QVERIFY2(log.contains("Upvane cannot start: no private folder for its sockets: " + env.own + " is not private"),
                 qPrintable(log));
        QVERIFY(QDir(env.own).isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
