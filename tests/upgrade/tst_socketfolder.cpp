// Where the local sockets may live: only in a folder that is the user's own and
// that no one else may enter; made where there is none, refused where it is
// taken.
#include "HostSystem.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool makeFolder(const QString &path, mode_t mode)
{
    return QDir().mkpath(path) && chmod(QFile::encodeName(path).constData(), mode) == 0;
}

mode_t modeOf(const QString &path)
{
    struct stat info;
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

}

class tst_SocketFolder : public QObject
{
    Q_OBJECT

private slots:
    void choice_data()
    {
        QTest::addColumn<QString>("runtime");   // "-": unset; else the mode given to "run"
        QTest::addColumn<QString>("fallback");  // what stands at the fallback beforehand: "", "0700", "0777", "file", "link"
        QTest::addColumn<QString>("expected");  // "run", "fallback" or "" (refused)
        QTest::newRow("private runtime folder") << "0700" << "" << "run";
        QTest::newRow("runtime folder unset: made") << "-" << "" << "fallback";
        QTest::newRow("runtime folder readable by the group") << "0750" << "" << "fallback";
        QTest::newRow("own fallback already there") << "-" << "0700" << "fallback";
        QTest::newRow("fallback open to others") << "-" << "0777" << "";
        QTest::newRow("file in the fallback's place") << "-" << "file" << "";
        QTest::newRow("link in the fallback's place") << "0777" << "link" << "";
    }

    void choice()
    {
        QFETCH(QString, runtime); QFETCH(QString, fallback); QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString run = dir.filePath("run"), tmp = dir.filePath("tmp"), own = tmp + "/upvane-" + QString::number(geteuid());
        QVERIFY(makeFolder(tmp, 0777));
        qputenv("TMPDIR", QFile::encodeName(tmp));
        QVERIFY(runtime == "-" ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", QFile::encodeName(run)));
        QVERIFY(runtime == "-" || makeFolder(run, mode_t(runtime.toUInt(nullptr, 8))));
        if (fallback == "file")
            QVERIFY(QFile(own).open(QIODevice::WriteOnly));
        else if (fallback == "link")
            QVERIFY(makeFolder(dir.filePath("elsewhere"), 0700) && QFile::link(dir.filePath("elsewhere"), own));
        else if (!fallback.isEmpty())
            QVERIFY(makeFolder(own, mode_t(fallback.toUInt(nullptr, 8))));

        QString problem;
        const QString chosen = HostSystem::socketFolder(&problem);
        if (expected.isEmpty()) {
            QCOMPARE(chosen, QString());
            QVERIFY2(problem.contains(own), qPrintable(problem));
            return;
        }
        QCOMPARE(chosen, expected == "run" ? run : own);
        QCOMPARE(modeOf(chosen), mode_t(0700));
    }
};

QTEST_GUILESS_MAIN(tst_SocketFolder)
#include "tst_socketfolder.moc"
