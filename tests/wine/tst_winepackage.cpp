// The Windows program as it ships, under Wine: its version record and manifest,
// the installer's silent install, the installed program's start and the
// uninstall, the text editor that shows a report, and the release installer of
// scripts/package-windows with the maker's programs (two small programs made
// here) signed with a throwaway certificate.
#include "../common/TextFiles.h"
#include "WinePrefix.h"
#include "WizardWalker.h"

#include <QDirIterator>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

namespace {

const QString kVersion = QStringLiteral("1.1.107.1");
const QString kTestName = QStringLiteral("VELM Upvane TEST EQUIPMENT");
const QString kTestTitle = kTestName + QStringLiteral(" - writes no firmware");
const QString kReleaseName = QStringLiteral("VELM Upvane");
const QString kSupportUrl = QStringLiteral("https://support.velm.example/rt48px");
const QString kSignPassword = QStringLiteral("throwaway");

const QString kProgramFiles = QStringLiteral("C:/Program Files/");
const QString kStartMenu = QStringLiteral("C:/ProgramData/Microsoft/Windows/Start Menu/Programs/");

// The installer of scripts/build-windows, with the test equipment.
QString installer()
{
    return WinePrefix::windowsBuild() + QStringLiteral("/Upvane-%1-win64-TEST-EQUIPMENT-writes-no-firmware.exe").arg(kVersion);
}

// scripts/package-windows builds beside the test build, apart from it.
QString releaseBuild() { return WinePrefix::windowsBuild() + QStringLiteral("-release"); }

using TextFiles::contents;

// Runs a Linux program to its end: its exit code (-1 when it did not end within
// `timeoutMs`) and, in `output`, what it wrote.
int runTool(const QString &program, const QStringList &arguments, int timeoutMs, QString *output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool ended = process.waitForFinished(timeoutMs);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// A resource of a Windows executable, read with icoutils' wrestool.
QByteArray resource(const QString &file, int type)
{
    QProcess wrestool;
    wrestool.start(QStringLiteral("wrestool"), {QStringLiteral("--raw"), QStringLiteral("-x"),
                                                QStringLiteral("--type=%1").arg(type), file});
    return wrestool.waitForFinished(30000) && wrestool.exitCode() == 0 ? wrestool.readAllStandardOutput() : QByteArray();
}

// The text of `key` in a version record (a VS_VERSIONINFO resource: each key
// and its text in UTF-16, ended and padded by NULs), or an empty text.
QString versionText(const QByteArray &record, const QString &key)
{
    const QString text = QString::fromUtf16(reinterpret_cast<const ushort *>(record.constData()), record.size() / 2);
    int at = text.indexOf(key + QChar(0));
    if (at < 0)
        return {};
    for (at += key.size(); at < text.size() && text.at(at).isNull();)
        ++at;
    return text.mid(at, text.indexOf(QChar(0), at) - at);
}

// The files under `dir`, relative to it, sorted, with `extra` among them.
QStringList filesUnder(const QString &dir, const QString &extra = {})
{
    QStringList files;
    if (!extra.isEmpty())
        files << extra;
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

        // In the work folder (the script fails without one): the maker's programs (two small Windows programs,
        // each its own bytes); folders package-windows must refuse (one program
        // missing; a Linux program under the name of a Windows one); a
        // throwaway certificate with its key, as package-windows takes them.
        const QString script = QStringLiteral(
            "set -e; cd \"$0\"; mkdir maker 'only firmware' linux\n"
            "for n in RT48PX_4K RT48PX; do\n"
            "  printf 'int main(void) { return sizeof \"maker %s\" == 0; }\\n' $n > $n.c\n"
            "  x86_64-w64-mingw32-gcc -s -o maker/$n.exe $n.c\n"
            "done\n"
            "cp maker/RT48PX.exe 'only firmware/'; cp maker/RT48PX.exe linux/; cp \"$1\" linux/RT48PX_4K.exe\n"
            "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Upvane throwaway signer' -keyout key.pem -out cert.pem\n"
            "openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout \"pass:$2\"\n");
        QString output;
        QVERIFY2(runTool(QStringLiteral("sh"), {QStringLiteral("-c"), script, m_work.path(), QCoreApplication::applicationFilePath(), kSignPassword},
                         120000, &output) == 0, qPrintable(output));
    }

    void versionRecord_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("description");
        QTest::newRow("program") << WinePrefix::installedLayout() + QStringLiteral("/upvane.exe") << "VELM Upvane";
        QTest::newRow("test-equipment installer") << installer() << "VELM Upvane TEST EQUIPMENT - writes no firmware Setup";
    }

    void versionRecord()
    {
        QFETCH(QString, file);
        QFETCH(QString, description);
        const QByteArray record = resource(file, 16);
        // The fixed part: after its signature and layout version, file and product version, 1.1.107.1 each.
        const int fixed = record.indexOf(QByteArray::fromHex("bd04effe"));
        QCOMPARE(record.mid(fixed + 8, 16).toHex(), QByteArray("0100010001006b00" "0100010001006b00"));
        const QPair<const char *, QString> texts[] = {{"CompanyName", QStringLiteral("VELM")}, {"ProductName", kReleaseName},
                                                      {"FileDescription", description}, {"FileVersion", kVersion}, {"ProductVersion", kVersion}};
        for (const auto &text : texts)
            QCOMPARE(versionText(record, QLatin1String(text.first)), text.second);
    }

    void manifest()
    {
        const QString manifest = QString::fromUtf8(resource(WinePrefix::installedLayout() + QStringLiteral("/upvane.exe"), 24));
        for (const char *wanted : {R"(<requestedExecutionLevel\s+level="asInvoker")",
                                   R"(<assemblyIdentity\s+type="win32"\s+name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0")"})
            QVERIFY2(manifest.contains(QRegularExpression(QLatin1String(wanted))), qPrintable(manifest));
    }

    void installStartUninstall()
    {
        WinePrefix wine;
        QVERIFY2(wine.isValid(), qPrintable(wine.error()));
        const QString windowsDir = kProgramFiles + kTestName;
        const QString menuDir = kStartMenu + kTestTitle;
        const QString installDir = wine.unixPath(windowsDir);

        // A silent install puts the shipped layout, its uninstaller and a
        // Start-menu entry in place, in a folder of its own that says what it is.
        QCOMPARE(wine.run(installer(), {QStringLiteral("/S")}, 180000), 0);
        QCOMPARE(filesUnder(installDir), filesUnder(WinePrefix::installedLayout(), QStringLiteral("Uninstall.exe")));
        const QByteArray link = contents(wine.unixPath(menuDir) + QStringLiteral("/%1.lnk").arg(kTestName));
        QVERIFY(link.contains(QString(windowsDir + QStringLiteral("/upvane.exe")).replace(QLatin1Char('/'), QLatin1Char('\\')).toLatin1()));

        // The installed program starts from there, with nothing of the
        // toolchain on Wine's search path.
        QProcess program;
        wine.prepare(program, windowsDir + QStringLiteral("/upvane.exe"));
        program.start();
        WizardWalker walker(QGuiApplication::primaryScreen());
        QVERIFY2(walker.waitForPage(WizardWalker::Page::Start, 60000), qPrintable(QString::fromLocal8Bit(program.readAll())));
        // Every DLL it runs on comes from its own folder, Windows' or Wine's own.
        const QStringList dlls = wine.loadedDlls(QStringLiteral("upvane.exe"));
        QVERIFY(dlls.contains(installDir + QStringLiteral("/Qt5Core.dll")));
        QCOMPARE(dlls.filter(QRegularExpression(QStringLiteral("^(?!%1/|%2/windows/|/usr/lib.*/wine/)")
                                                    .arg(QRegularExpression::escape(installDir), QRegularExpression::escape(wine.driveC())))),
                 QStringList());
        QVERIFY(walker.click(WizardWalker::CloseButton));
        QTRY_COMPARE_WITH_TIMEOUT(program.state(), QProcess::NotRunning, 30000);
        QCOMPARE(program.exitCode(), 0);

        // The uninstaller removes what the installer put there. It runs a copy
        // of itself from the temporary folder and returns at once.
        QCOMPARE(wine.run(windowsDir + QStringLiteral("/Uninstall.exe"), {QStringLiteral("/S")}, 120000), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(installDir), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(wine.unixPath(menuDir)), 30000);
    }

    // scripts/package-windows refuses, before it builds anything, a release that
    // would carry a stand-in or lack a program or the maker's support address.
    void packageRefuses_data()
    {
        QTest::addColumn<QString>("programs");   // the folder given as --upgradefile, in the work folder
        QTest::addColumn<QString>("url");        // --support-url
        QTest::addColumn<QString>("reason");
        QTest::newRow("stand-ins") << WinePrefix::installedLayout() + QStringLiteral("/upgradefile") << kSupportUrl
                                   << "RT48PX_4K.exe is the project's stand-in";
        QTest::newRow("a program missing") << "only firmware" << kSupportUrl << "RT48PX_4K.exe is missing";
        QTest::newRow("not a Windows program") << "linux" << kSupportUrl << "RT48PX_4K.exe is not a Windows program";
        QTest::newRow("no support address") << "maker" << "" << "no support address";
        QTest::newRow("the placeholder address") << "maker" << "https://Example.com/" << "the development placeholder";
        QTest::newRow("not a web address") << "maker" << "https://velm.example/a'b" << "not a plain http(s) address";
    }

    void packageRefuses()
    {
        QFETCH(QString, programs);
        QFETCH(QString, url);
        QFETCH(QString, reason);
        QString output;
        QCOMPARE(runTool(packageScript(), {QStringLiteral("--upgradefile"), QDir(m_work.path()).filePath(programs), QStringLiteral("--support-url"), url,
                                           QStringLiteral("--build"), work(QStringLiteral("build"))}, 60000, &output), 2);
        QVERIFY2(output.contains(reason), qPrintable(output));
        QVERIFY(!QFileInfo::exists(work(QStringLiteral("build"))));
    }

    // The release installer holds the layout of the test build with the maker's
    // programs in place of the stand-ins and nothing of the test equipment; the
    // program, the uninstaller and the installer verify as signed with the
    // given certificate; it installs under Wine.
    void releaseInstaller()
    {
        qputenv("UPVANE_SIGN_PASSWORD", kSignPassword.toUtf8());
        // The Qt for Windows of the test build.
        const QString qt = QRegularExpression(QStringLiteral("^UPVANE_QT_DIR:[A-Z]*=(.*)$"), QRegularExpression::MultilineOption)
                               .match(QString::fromUtf8(contents(WinePrefix::windowsBuild() + QStringLiteral("/CMakeCache.txt"))))
                               .captured(1);
        QString output;
        const int code = runTool(packageScript(),
                                 {QStringLiteral("--upgradefile"), work(QStringLiteral("maker")), QStringLiteral("--support-url"),
                                  kSupportUrl, QStringLiteral("--sign"), work(QStringLiteral("cert.p12")), QStringLiteral("--qt"), qt,
                                  QStringLiteral("--build"), releaseBuild()},
                                 1500000, &output);
        QVERIFY2(code == 0, qPrintable(output));

        const QString built = releaseBuild() + QStringLiteral("/Upvane-%1-win64.exe").arg(kVersion);
        QCOMPARE(versionText(resource(built, 16), QStringLiteral("FileDescription")), QStringLiteral("VELM Upvane Setup"));

        WinePrefix wine;
        QVERIFY2(wine.isValid(), qPrintable(wine.error()));
        QCOMPARE(wine.run(built, {QStringLiteral("/S")}, 180000), 0);
        const QString dir = wine.unixPath(kProgramFiles + kReleaseName);
        const QStringList installed = filesUnder(dir);
        QCOMPARE(installed, filesUnder(WinePrefix::installedLayout(), QStringLiteral("Uninstall.exe")));
        QVERIFY(QFile::exists(wine.unixPath(kStartMenu + kReleaseName) + QStringLiteral("/VELM Upvane.lnk")));
        for (const QString &file : installed.filter(QRegularExpression(QStringLiteral("^upgradefile/|\\.dll$")))) {
            const QString from = file.startsWith(QLatin1String("upgradefile/")) ? work(QStringLiteral("maker/") + file.mid(12))
                                                                                 : WinePrefix::installedLayout() + QLatin1Char('/') + file;
            QVERIFY2(contents(dir + QLatin1Char('/') + file) == contents(from), qPrintable(file));
        }
        for (const QString &file : {built, dir + QStringLiteral("/upvane.exe"), dir + QStringLiteral("/Uninstall.exe")})
            QVERIFY2(signedByThrowaway(file, &output), qPrintable(file + QLatin1Char('\n') + output));
        // The pages' support address, as the program's code holds it.
        const QByteArray url(reinterpret_cast<const char *>(kSupportUrl.utf16()), kSupportUrl.size() * 2);
        QVERIFY(contents(dir + QStringLiteral("/upvane.exe")).contains(url));
    }

    void openReport_data()
    {
        QTest::addColumn<QString>("report");   // the file in Report/; openReport is given "upgrade report.txt"
        QTest::newRow("report present") << "upgrade report.txt";
        QTest::newRow("report missing") << "other.txt";
    }

    void openReport()
    {
        QFETCH(QString, report);
        const QString name = QStringLiteral("upgrade report.txt");
        const int exitCode = report == name ? 0 : 1;

        WinePrefix wine;
        QVERIFY2(wine.isValid(), qPrintable(wine.error()));
        const QString folder = QStringLiteral("C:/Opener");
        QVERIFY(wine.copyFolder(WinePrefix::installedLayout(), folder) && QDir().mkpath(wine.unixPath(folder + QStringLiteral("/Report"))));
        QVERIFY(QFile::copy(WinePrefix::windowsBuild() + QStringLiteral("/tests/wine/programs/open-report.exe"),
                            wine.unixPath(folder + QStringLiteral("/open-report.exe"))));
        QVERIFY(TextFiles::write(wine.unixPath(folder + QStringLiteral("/Report/") + report), QStringLiteral("report\r\n")));

        QCOMPARE(wine.run(folder + QStringLiteral("/open-report.exe"), {name}, 60000), exitCode);
        if (exitCode != 0) {
            // The editor's start would have come before the program ended.
            QCOMPARE(wine.processes(QStringLiteral("notepad.exe")).size(), 0);
            return;
        }
        // notepad.exe, with the report's full path as Qt gives it as its only argument.
        QTRY_VERIFY_WITH_TIMEOUT(!wine.processes(QStringLiteral("notepad.exe")).isEmpty(), 30000);
        const QList<QStringList> notepads = wine.processes(QStringLiteral("notepad.exe")).values();
        QCOMPARE(notepads.size(), 1);
        QCOMPARE(notepads.first().mid(1), QStringList{folder + QStringLiteral("/Report/") + name});
    }

private:
    QString work(const QString &name) const { return m_work.filePath(name); }
    static QString packageScript() { return QStringLiteral(UPVANE_SOURCE_DIR "/scripts/package-windows"); }
    // Whether `file` carries an Authenticode signature that verifies with the
    // throwaway certificate; osslsigncode's account in `output`.
    bool signedByThrowaway(const QString &file, QString *output) const
    {
        return runTool(QStringLiteral("osslsigncode"),
                       {QStringLiteral("verify"), QStringLiteral("-CAfile"), work(QStringLiteral("cert.pem")), QStringLiteral("-in"), file},
                       60000, output) == 0;
    }

    QTemporaryDir m_work;
};

QTEST_MAIN(tst_WinePackage)
#include "tst_winepackage.moc"
