#include "WinePrefix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString wine64()
{
    return QStringLiteral(UPVANE_WINE64);
}

QString wineserver()
{
    return QStringLiteral(UPVANE_WINESERVER);
}

// What every Wine process of the tests gets: no debug chatter, no offer to
// install Mono or Gecko, no desktop entries written into the developer's menus.
void addWineSettings(QProcessEnvironment &env, const QString &prefix, const QString &home)
{
    env.insert(QStringLiteral("WINEPREFIX"), prefix);
    env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    env.insert(QStringLiteral("WINEDLLOVERRIDES"), QStringLiteral("mscoree,mshtml=;winemenubuilder.exe=d"));
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    env.remove(QStringLiteral("WINEPATH"));
    env.remove(QStringLiteral("WINELOADER"));
    env.remove(QStringLiteral("WINESERVER"));
}

bool runToEnd(const QString &program, const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The template prefix, made on first use and kept until the test program ends.
struct Template
{
    QTemporaryDir dir;
    QString error;

    Template()
    {
        const QString prefix = dir.path() + QStringLiteral("/prefix");
        const QString home = dir.path() + QStringLiteral("/home");
        QDir().mkpath(home);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        addWineSettings(env, prefix, home);
        if (!dir.isValid())
            error = QStringLiteral("no temporary folder for the template prefix");
        else if (!runToEnd(wine64(), {QStringLiteral("wineboot"), QStringLiteral("--init")}, env, 180000)
                 || !runToEnd(wineserver(), {QStringLiteral("--wait")}, env, 60000)
                 || !QFileInfo(prefix + QStringLiteral("/drive_c/windows")).isDir())
            error = QStringLiteral("wineboot could not create a prefix in ") + prefix;
    }
    ~Template()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        addWineSettings(env, dir.path() + QStringLiteral("/prefix"), dir.path() + QStringLiteral("/home"));
        runToEnd(wineserver(), {QStringLiteral("-k")}, env, 30000);
    }

    static Template &instance()
    {
        static Template made;
        return made;
    }
};

}

WinePrefix::WinePrefix()
{
    Template &made = Template::instance();
    if (!made.error.isEmpty()) {
        m_error = made.error;
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the prefix");
        return;
    }
    QDir().mkpath(m_dir.path() + QStringLiteral("/home"));
    if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), made.dir.path() + QStringLiteral("/prefix"), prefix()}) != 0)
        m_error = QStringLiteral("could not copy the template prefix");
}

WinePrefix::~WinePrefix()
{
    if (QFileInfo(prefix()).isDir())
        stop();
}

QString WinePrefix::windowsBuild()
{
    const QString fromEnvironment = qEnvironmentVariable("UPVANE_WINDOWS_BUILD");
    return fromEnvironment.isEmpty() ? QStringLiteral(UPVANE_WINDOWS_BUILD_DIR) : fromEnvironment;
}

QString WinePrefix::installedLayout()
{
    return windowsBuild() + QStringLiteral("/install");
}

QString WinePrefix::unavailableReason()
{
    if (!QFileInfo(installedLayout() + QStringLiteral("/upvane.exe")).isFile())
        return QStringLiteral("no Windows build in %1 (run scripts/build-windows, or set UPVANE_WINDOWS_BUILD)")
            .arg(windowsBuild());
    if (!QFileInfo(wine64()).isExecutable())
        return QStringLiteral("wine64 not found (%1)").arg(wine64());
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display: Wine programs need one (run under Xvfb)");
    return {};
}

QString WinePrefix::prefix() const
{
    return m_dir.path() + QStringLiteral("/prefix");
}

QString WinePrefix::driveC() const
{
    return prefix() + QStringLiteral("/drive_c");
}

QString WinePrefix::unixPath(const QString &windowsPath) const
{
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (path.startsWith(QLatin1String("C:/"), Qt::CaseInsensitive))
        return driveC() + path.mid(2);
    return path;
}

QString WinePrefix::appDataDir() const
{
    // drive_c/users/<user>/AppData/Roaming, <user> being the Linux user's name.
    QString user;
    for (const QString &name : QDir(driveC() + QStringLiteral("/users")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name != QLatin1String("Public"))
            user = name;
    }
    return driveC() + QStringLiteral("/users/%1/AppData/Roaming/VELM/VELM Upvane").arg(user);
}

QProcessEnvironment WinePrefix::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    addWineSettings(env, prefix(), m_dir.path() + QStringLiteral("/home"));
    return env;
}

void WinePrefix::prepare(QProcess &process, const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &extra) const
{
    QProcessEnvironment env = environment();
    for (const QString &key : extra.keys())
        env.insert(key, extra.value(key));
    process.setProgram(wine64());
    process.setArguments(QStringList{program} + arguments);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(m_dir.path() + QStringLiteral("/home"));
    process.setProcessChannelMode(QProcess::MergedChannels);
}

int WinePrefix::run(const QString &program, const QStringList &arguments, int timeoutMs,
                    const QProcessEnvironment &extra) const
{
    QProcess process;
    prepare(process, program, arguments, extra);
    process.start();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool WinePrefix::copyFolder(const QString &from, const QString &windowsTo) const
{
    const QString to = unixPath(windowsTo);
    QDir().mkpath(QFileInfo(to).path());
    return QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), from, to}) == 0;
}

QList<QStringList> WinePrefix::processes(const QString &image) const
{
    QList<QStringList> commandLines;
    for (const auto &process : findProcesses(image))
        commandLines << process.second;
    return commandLines;
}

QStringList WinePrefix::loadedDlls(const QString &image) const
{
    QStringList dlls;
    for (const auto &process : findProcesses(image)) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(process.first));
        if (!maps.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : maps.readAll().split('\n')) {
            const int slash = line.indexOf('/');
            const QString path = slash < 0 ? QString() : QString::fromLocal8Bit(line.mid(slash));
            if (path.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive) && !dlls.contains(path))
                dlls << path;
        }
    }
    return dlls;
}

QStringList WinePrefix::dllsFromElsewhere(const QString &image, const QString &programDir) const
{
    QStringList elsewhere;
    for (const QString &dll : loadedDlls(image)) {
        const bool wines = dll.startsWith(QLatin1String("/usr/lib")) && dll.contains(QLatin1String("/wine/"));
        if (!dll.startsWith(programDir + QLatin1Char('/')) && !dll.startsWith(driveC() + QStringLiteral("/windows/")) && !wines)
            elsewhere << dll;
    }
    return elsewhere;
}

bool WinePrefix::windowExists(const QString &title)
{
    QProcess search;
    search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"), title});
    return search.waitForFinished(10000) && search.exitStatus() == QProcess::NormalExit && search.exitCode() == 0
        && !search.readAllStandardOutput().trimmed().isEmpty();
}

QList<QPair<QString, QStringList>> WinePrefix::findProcesses(const QString &image) const
{
    QList<QPair<QString, QStringList>> found;
    const QByteArray ours = "WINEPREFIX=" + prefix().toLocal8Bit();
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        if (!pid.front().isDigit() || !environ.open(QIODevice::ReadOnly) || !environ.readAll().split('\0').contains(ours))
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        QStringList words;
        for (const QByteArray &word : cmdline.readAll().split('\0'))
            words << QString::fromLocal8Bit(word);
        while (!words.isEmpty() && words.last().isEmpty())
            words.removeLast();
        if (!words.isEmpty() && words.first().endsWith(image, Qt::CaseInsensitive))
            found << qMakePair(pid, words);
    }
    return found;
}

void WinePrefix::stop() const
{
    runToEnd(wineserver(), {QStringLiteral("-k")}, environment(), 30000);
    runToEnd(wineserver(), {QStringLiteral("--wait")}, environment(), 30000);
}
