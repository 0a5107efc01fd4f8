// The log file: its lines, its rotation, the handler in this process (the real
// program writing it: tst_probe; carrying on without it: tst_singleinstance).
#include "TextFiles.h"
#include "LogFile.h"
#include "LogLine.h"
#include "MessageLog.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QStringList passedOn;   // what reached the handler installed before the log's

}

class tst_Log : public QObject
{
    Q_OBJECT

private slots:
    void format_data()
    {
        QTest::addColumn<int>("offsetMinutes");
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("category");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");   // past "2026-12-07T"
        QTest::newRow("debug, default category") << 60 << int(QtDebugMsg) << QByteArray("default") << "open device faile"
                                                 << QByteArray("18:22:25.123+01:00 [42] debug open device faile\n");
        QTest::newRow("info, own category, UTC") << 0 << int(QtInfoMsg) << QByteArray("upvane.search") << "search: 0 HID devices"
                                                 << QByteArray("17:22:25.123Z [42] info upvane.search: search: 0 HID devices\n");
        QTest::newRow("warning, no category") << -300 << int(QtWarningMsg) << QByteArray() << "Does not exits: C:/x"
                                              << QByteArray("12:22:25.123-05:00 [42] warning Does not exits: C:/x\n");
        QTest::newRow("critical, UTF-8") << 60 << int(QtCriticalMsg) << QByteArray("qml") << QString::fromUtf8("※ Ü")
                                         << QByteArray("18:22:25.123+01:00 [42] critical qml: \xe2\x80\xbb \xc3\x9c\n");
        QTest::newRow("line breaks stay inside the entry") << 60 << int(QtFatalMsg) << QByteArray() << "a\r\nb\nc\rd"
                                                          << QByteArray("18:22:25.123+01:00 [42] fatal a\n    b\n    c\n    d\n");
    }
    void format()
    {
        QFETCH(int, offsetMinutes); QFETCH(int, type); QFETCH(QByteArray, category); QFETCH(QString, text); QFETCH(QByteArray, line);
        const QDateTime time(QDate(2026, 12, 7), QTime(17, 22, 25, 123), Qt::UTC);
        const char *name = category.isNull() ? nullptr : category.constData();
        QCOMPARE(LogLine::format(time.toOffsetFromUtc(offsetMinutes * 60), 42, QtMsgType(type), name, text), "2026-12-07T" + line);
    }

    void rotation_data()
    {
        QTest::addColumn<int>("lines");        // of 10 bytes each, into a 35-byte log keeping 2 older files
        QTest::addColumn<QStringList>("files");   // upvane.log, upvane.1.log, upvane.2.log: their line numbers
        QTest::newRow("under the limit") << 3 << QStringList{"012", "", ""};
        QTest::newRow("one rotation") << 4 << QStringList{"3", "012", ""};
        QTest::newRow("two") << 8 << QStringList{"67", "345", "012"};   // 3+3+... : a file takes 3 lines
        QTest::newRow("the oldest goes") << 13 << QStringList{"c", "9ab", "678"};
    }
    void rotation()
    {
        QFETCH(int, lines); QFETCH(QStringList, files);
        QTemporaryDir dir;
        LogFile log(dir.path() + "/logs", 35, 2);
        for (int i = 0; i < lines; ++i)
            QVERIFY(log.write(QStringLiteral("line %1...\n").arg(i, 0, 16).toUtf8()));
        QStringList numbers;
        for (int i = 0; i < 4; ++i)   // upvane.3.log is never made
            numbers << TextFiles::lines(dir.path() + "/logs/" + LogLine::fileName(i)).join(QString()).remove("line ").remove("...");
        QCOMPARE(numbers, files << "");
    }

    // What the folder holds before two processes' lines; what a write meets:
    // the file size limit (RLIMIT_FSIZE, as a full disk cuts a write short).
    void recovery_data()
    {
        QTest::addColumn<QByteArray>("before");     // upvane.log as another process left it
        QTest::addColumn<int>("room");              // bytes the second line may add, -1: no limit
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("nothing in the way") << QByteArray() << -1 << QByteArray("one\ntwo\nthree\n");
        QTest::newRow("a line cut off elsewhere") << QByteArray("cut") << -1
                                                  << QByteArray("cut\none\ntwo\nthree\n");
        QTest::newRow("full after 2 bytes") << QByteArray() << 2 << QByteArray("one\ntw\nthree\n");
        QTest::newRow("full at once") << QByteArray() << 0 << QByteArray("one\nthree\n");
    }
    void recovery()
    {
        QFETCH(QByteArray, before); QFETCH(int, room); QFETCH(QByteArray, after);
        QTemporaryDir dir;
        if (!before.isEmpty())
            QVERIFY(TextFiles::write(dir.path() + "/upvane.log", before));
        LogFile log(dir.path());
        QVERIFY(log.write("one\n"));
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        if (room >= 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit full{rlim_t(QFileInfo(log.currentPath()).size() + room), old.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
        }
        QCOMPARE(log.write("two\n"), room < 0);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY(log.write("three\n"));
        QCOMPARE(TextFiles::contents(log.currentPath()), after);
    }

    void neverThroughALink()
    {
        for (const QString name : {"upvane.log", "upvane.1.log"}) {   // the log, a rotation
            QTemporaryDir dir;
            const QString target = dir.filePath("target");
            QVERIFY(TextFiles::write(target, QByteArray("kept\n")));
            QVERIFY(QFile::link(target, dir.filePath(name)));
            LogFile log(dir.path(), 8, 2);
            for (int i = 0; i < 4; ++i)
                log.write("line\n");
            QCOMPARE(TextFiles::contents(target), QByteArray("kept\n"));
        }
    }

    void handlerWritesAndPassesOn()
    {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) { passedOn << text; });
        MessageLog::install();
        qWarning("before the folder is known");
        QTemporaryDir dir;
        MessageLog::open(dir.path());
        qInfo("after");
        MessageLog::setQuiet(true);
        qInfo("quiet info");
        qWarning("loud warning");
        MessageLog::setQuiet(false);

        QStringList written;   // past the time and the process id
        for (const QString &line : TextFiles::lines(dir.path() + "/upvane.log"))
            written << line.section(' ', 2);
        QCOMPARE(written, (QStringList{"warning before the folder is known", "info after", "info quiet info", "warning loud warning"}));
        QCOMPARE(passedOn, (QStringList{"before the folder is known", "after", "loud warning"}));
    }
};

QTEST_GUILESS_MAIN(tst_Log)
#include "tst_log.moc"
