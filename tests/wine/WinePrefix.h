#pragma once

#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A private Windows for one test case: a Wine prefix of its own, copied from a
// template that is made once per test program (creating a prefix takes about
// 15 s, copying one a few). Its Wine programs show on the test's X display. The
// destructor ends every Wine process of the prefix (its wineserver) and removes
// it. Nothing is written into the developer's home: Wine's HOME and XDG folders
// are the test's own and the desktop-menu builder is switched off.
class WinePrefix
{
public:
    WinePrefix();
    ~WinePrefix();
    WinePrefix(const WinePrefix &) = delete;
    WinePrefix &operator=(const WinePrefix &) = delete;

    // Why Wine tests cannot run here (no Windows build, no wine64, no display),
    // or an empty text when they can. Tests skip with it (WINE_TESTS_REQUIRED).
    static QString unavailableReason();
    // The folder scripts/build-windows builds into: $UPVANE_WINDOWS_BUILD, else
    // the one configured at build time.
    static QString windowsBuild();
    // build-windows/install: the program folder as it ships.
    static QString installedLayout() { return windowsBuild() + QStringLiteral("/install"); }

    // False when the template could not be made or copied (see error()).
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    QString prefix() const { return m_dir.path() + QStringLiteral("/prefix"); }
    QString driveC() const { return prefix() + QStringLiteral("/drive_c"); }
    // "C:\\a\\b" or "C:/a/b" -> the file under drive_c; other drives unchanged.
    QString unixPath(const QString &windowsPath) const;
    // The user's roaming application-data folder of the wizard, as Qt forms it
    // from the organisation and application names.
    QString appDataDir() const;

    QProcessEnvironment environment() const;
    // `process` set up to run `program` (a Windows path or a program on Wine's
    // search path) with `arguments` under wine64 in this prefix.
    void prepare(QProcess &process, const QString &program, const QStringList &arguments = {},
                 const QProcessEnvironment &extra = {}) const;
    // Runs a Wine program to its end; its exit code, or -1 when it did not end
    // within `timeoutMs`.
    int run(const QString &program, const QStringList &arguments, int timeoutMs,
            const QProcessEnvironment &extra = {}) const;
    // Sets the registry value `key`\`name` to the DWORD `value`: reg's exit code
    // (0 when set), as run() gives it.
    int addDword(const QString &key, const QString &name, int value) const;

    // Copies the folder `from` (a Linux path) to the Windows path `to` in this
    // prefix, as `cp -a` does. False when the copy failed.
    bool copyFolder(const QString &from, const QString &windowsTo) const;

    // The Wine processes of this prefix whose program name ends in `image`
    // (e.g. "notepad.exe"): process id -> command line as Wine shows it,
    // program and arguments as the Windows program got them.
    QMap<QString, QStringList> processes(const QString &image) const;
    // The Linux paths of the DLLs that the Wine processes of this prefix running
    // `image` have mapped (none when no such process runs).
    QStringList loadedDlls(const QString &image) const;

    // Ends every Wine process of this prefix and its wineserver.
    void stop() const;

private:
    QTemporaryDir m_dir;
    QString m_error;
};

// For a test's initTestCase: skips, saying why, where the Wine tests cannot run;
// in CI (CI=true), which runs the Windows part in full, fails instead.
#define WINE_TESTS_REQUIRED()                                                                                   \
    if (const QString unavailable = WinePrefix::unavailableReason(); unavailable.isEmpty()) {                   \
    } else if (qEnvironmentVariable("CI") == QLatin1String("true"))                                             \
        QFAIL(qPrintable(unavailable));                                                                         \
    else                                                                                                        \
        QSKIP(qPrintable(unavailable))
