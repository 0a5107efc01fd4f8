// The single-instance guard, seen from real processes of the real program.
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
    QStringList values;
    for (const QString &line : output.split(QLatin1Char('\n')))
        if (line.contains(QLatin1String("The value is: ")))
            values << line.section(QStringLiteral("The value is: "), 1).trimmed();
    values.sort();
    return values;
}

}

class tst_SingleInstance : public QObject
{
    Q_OBJECT

private slots:
    // Later starts in quick succession each hand their last argument (its first
    // word) over, once each. A socket file left under the server's name must not
    // stop the first instance from listening, nor a log it cannot write from
    // running: its lines still reach standard error.
    void laterStartsHandOver()
    {
        TestWorld env;
        QVERIFY(env.installProgram());
        QFile stale(env.serverSocket());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QVERIFY(QDir().mkpath(env.appDataDir()));
        QVERIFY(TextFiles::write(env.appDataDir() + QStringLiteral("/logs"), QByteArray()));   // a file where the folder goes
        QProcess first;
        env.prepare(first);
        first.setProcessChannelMode(QProcess::MergedChannels);
        first.start();
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(env.serverSocket()), 20000);

        const QList<QStringList> arguments{{}, {"a", "b"}, {"x y"}, {"one"}, {"two"}};
        std::vector<std::unique_ptr<QProcess>> laters;
        for (const QStringList &args : arguments) {
            laters.push_back(std::make_unique<QProcess>());
            env.prepare(*laters.back(), args);
            laters.back()->setProcessChannelMode(QProcess::MergedChannels);
            laters.back()->start();
        }
        for (const auto &later : laters) {
            QVERIFY(later->waitForFinished(20000));
            QCOMPARE(later->exitCode(), 0);
            QVERIFY(later->readAll().contains("Have already connected to server."));
        }
        QString output;
        QTRY_COMPARE_WITH_TIMEOUT(handedOver(first, output), (QStringList{"", "b", "one", "two", "x"}), 10000);
        QCOMPARE(first.state(), QProcess::Running);
        first.kill();
        first.waitForFinished();
    }

    // Both sockets (the hand-over and the status channel) live only in a folder
    // of the user's own that no one else may enter: a runtime folder open to
    // others or unset gives way to one the program makes (0700); where that name
    // is taken, the program refuses to start and says why.
    void socketsOnlyInAPrivateFolder_data()
    {
        QTest::addColumn<bool>("fallbackTaken");   // else the runtime folder is open to others
        QTest::newRow("runtime folder open to others") << false;
        QTest::newRow("runtime folder unset, fallback folder taken") << true;
    }
    void socketsOnlyInAPrivateFolder()
    {
        QFETCH(bool, fallbackTaken);
        TestWorld env;
        QVERIFY(env.installProgram());
        QTemporaryDir shared;
        QVERIFY(QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777)));
        const QString own = shared.path() + QStringLiteral("/upvane-") + QString::number(geteuid());
        QProcessEnvironment processEnv = env.environment();
        processEnv.insert(QStringLiteral("TMPDIR"), shared.path());
        if (fallbackTaken) {
            QVERIFY(QDir().mkdir(own) && ::chmod(QFile::encodeName(own).constData(), 0777) == 0);
            processEnv.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        } else {
            QVERIFY(::chmod(QFile::encodeName(env.runtimeDir()).constData(), 0777) == 0);
        }
        QProcess first;
        env.prepare(first);
        first.setProcessEnvironment(processEnv);
        first.setProcessChannelMode(QProcess::MergedChannels);
        first.start();
        if (fallbackTaken) {
            QVERIFY(first.waitForFinished(20000));
            QCOMPARE(first.exitCode(), 1);
            const QString log = QString::fromLocal8Bit(first.readAll());
            QVERIFY2(log.contains(QStringLiteral("Upvane cannot start: no private folder for its sockets: %1 is not private").arg(own)),
                     qPrintable(log));
            QVERIFY(QDir(own).isEmpty());
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(own + QStringLiteral("/VELMVELM Upvane")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(isSocket(own + QStringLiteral("/upvane-status")), 20000);   // made a little later
        QCOMPARE(QFileInfo(own).permissions() & 0x0077, 0);
        QVERIFY(QDir(env.runtimeDir()).isEmpty());
        for (const char *name : {"VELMVELM Upvane", "upvane-status"})
            QVERIFY(!QFileInfo::exists(shared.path() + QLatin1Char('/') + QLatin1String(name)));
        first.kill();
        first.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(tst_SingleInstance)
#include "tst_singleinstance.moc"
