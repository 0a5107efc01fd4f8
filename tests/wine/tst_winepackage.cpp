// The Windows program as it ships, under Wine: its version record and manifest,
// the installer's silent install, the installed program's start and the
// uninstall, and the text editor that shows a report.
#include "../common/TextFiles.h"
#include "PictureMatch.h"
#include "VersionRecord.h"
#include "WinePrefix.h"
#include "WizardWalker.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

namespace {

const QString kVersion = QStringLiteral("1.1.107.1");
const QString kInstallDir = QStringLiteral("C:/Program Files/VELM Upvane");
const QString kStartMenuDir = QStringLiteral("C:/ProgramData/Microsoft/Windows/Start Menu/Programs/VELM Upvane");

QString installer()
{
    return WinePrefix::windowsBuild() + QStringLiteral("/Upvane-%1-win64.exe").arg(kVersion);
}

// A resource of a Windows executable, read with icoutils' wrestool.
QByteArray resource(const QString &file, int type)
{
    QProcess wrestool;
    wrestool.start(QStringLiteral("wrestool"), {QStringLiteral("--raw"), QStringLiteral("-x"),
                                                QStringLiteral("--type=%1").arg(type), file});
    if (!wrestool.waitForFinished(30000) || wrestool.exitCode() != 0)
        return {};
    return wrestool.readAllStandardOutput();
}

// The files under `dir`, relative to it, sorted.
QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(dir).relativeFilePath(it.next());
    files.sort();
    return files;
}

}

class tst_WinePackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        WINE_TESTS_REQUIRED();
    }

    void versionRecord_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("description");
        QTest::newRow("program") << WinePrefix::installedLayout() + QStringLiteral("/upvane.exe") << "VELM Upvane";
        QTest::newRow("installer") << installer() << "VELM Upvane Setup";
    }

    void versionRecord()
    {
        QFETCH(QString, file);
        QFETCH(QString, description);
        const VersionRecord record = VersionRecord::parse(resource(file, 16));
        QCOMPARE(record.fileVersion, kVersion);
        QCOMPARE(record.productVersion, kVersion);
        QCOMPARE(record.strings.value(QStringLiteral("CompanyName")), QStringLiteral("VELM"));
        QCOMPARE(record.strings.value(QStringLiteral("ProductName")), QStringLiteral("VELM Upvane"));
        QCOMPARE(record.strings.value(QStringLiteral("FileDescription")), description);
        QCOMPARE(record.strings.value(QStringLiteral("FileVersion")), kVersion);
        QCOMPARE(record.strings.value(QStringLiteral("ProductVersion")), kVersion);
    }

    void manifest()
    {
        const QString manifest = QString::fromUtf8(resource(WinePrefix::installedLayout() + QStringLiteral("/upvane.exe"), 24));
        const QRegularExpression asInvoker(QStringLiteral("<requestedExecutionLevel\\s+level=\"asInvoker\""));
        const QRegularExpression commonControls(QStringLiteral(
            "<assemblyIdentity\\s+type=\"win32\"\\s+name=\"Microsoft\\.Windows\\.Common-Controls\"\\s+version=\"6\\.0\\.0\\.0\""));
        QVERIFY2(asInvoker.match(manifest).hasMatch(), qPrintable(manifest));
        QVERIFY2(commonControls.match(manifest).hasMatch(), qPrintable(manifest));
    }

    void installStartUninstall()
    {
        WinePrefix wine;
        QVERIFY2(wine.isValid(), qPrintable(wine.error()));
        const QString installDir = wine.unixPath(kInstallDir);

        // A silent install puts the shipped layout, its uninstaller and a
        // Start-menu entry in place.
        QCOMPARE(wine.run(installer(), {QStringLiteral("/S")}, 180000), 0);
        QStringList expected = filesUnder(WinePrefix::installedLayout());
        expected << QStringLiteral("Uninstall.exe");
        expected.sort();
        QCOMPARE(filesUnder(installDir), expected);
        QVERIFY(QFile::exists(wine.unixPath(kStartMenuDir) + QStringLiteral("/VELM Upvane.lnk")));

        // The installed program starts from there, with nothing of the
        // toolchain on Wine's search path.
        QProcess program;
        wine.prepare(program, kInstallDir + QStringLiteral("/upvane.exe"));
        program.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000), qPrintable(QString::fromLocal8Bit(program.readAll())));
        QVERIFY(wine.loadedDlls(QStringLiteral("upvane.exe")).contains(installDir + QStringLiteral("/Qt5Core.dll")));
        QCOMPARE(wine.dllsFromElsewhere(QStringLiteral("upvane.exe"), installDir), QStringList());
        QVERIFY(walker.click(WizardWalker::CloseButton));
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 30000);
        QCOMPARE(program.exitCode(), 0);

        // The uninstaller removes what the installer put there. It runs a copy
        // of itself from the temporary folder and returns at once.
        QCOMPARE(wine.run(kInstallDir + QStringLiteral("/Uninstall.exe"), {QStringLiteral("/S")}, 120000), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(installDir), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(wine.unixPath(kStartMenuDir)), 30000);
    }

    void openReport_data()
    {
        QTest::addColumn<QString>("report");   // the file in Report/, or empty for none
        QTest::addColumn<QString>("name");     // what openReport is given
        QTest::addColumn<int>("exitCode");
        QTest::newRow("report present") << "upgrade report.txt" << "upgrade report.txt" << 0;
        QTest::newRow("report missing") << "other.txt" << "upgrade report.txt" << 1;
    }

    void openReport()
    {
        QFETCH(QString, report);
        QFETCH(QString, name);
        QFETCH(int, exitCode);

        WinePrefix wine;
        QVERIFY2(wine.isValid(), qPrintable(wine.error()));
        const QString folder = QStringLiteral("C:/Opener");
        QVERIFY(wine.copyFolder(WinePrefix::installedLayout(), folder));
        QVERIFY(QFile::copy(WinePrefix::windowsBuild() + QStringLiteral("/tests/wine/programs/open-report.exe"),
                            wine.unixPath(folder + QStringLiteral("/open-report.exe"))));
        QVERIFY(QDir().mkpath(wine.unixPath(folder + QStringLiteral("/Report"))));
        QVERIFY(TextFiles::write(wine.unixPath(folder + QStringLiteral("/Report/") + report), QStringLiteral("report\r\n")));

        QCOMPARE(wine.run(folder + QStringLiteral("/open-report.exe"), {name}, 60000), exitCode);
        if (exitCode != 0) {
            // The editor's start would have come before the program ended.
            QCOMPARE(wine.processes(QStringLiteral("notepad.exe")).size(), 0);
            return;
        }
        // notepad.exe, with the report's full path as Qt gives it as its only
        // argument, shows the report in its window.
        QTRY_VERIFY_WITH_TIMEOUT(!wine.processes(QStringLiteral("notepad.exe")).isEmpty(), 30000);
        const QList<QStringList> notepads = wine.processes(QStringLiteral("notepad.exe"));
        QCOMPARE(notepads.size(), 1);
        QCOMPARE(notepads.first().mid(1), QStringList{folder + QStringLiteral("/Report/") + name});
        QTRY_VERIFY_WITH_TIMEOUT(WinePrefix::windowExists(QStringLiteral("^%1 - Notepad$").arg(name)), 30000);
    }
};

QTEST_MAIN(tst_WinePackage)
#include "tst_winepackage.moc"
