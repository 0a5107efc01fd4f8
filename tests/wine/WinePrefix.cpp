#include "WinePrefix.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

const QString kWine64 = QStringLiteral(UPVANE_WINE64);
const QString kWineserver = QStringLiteral(UPVANE_WINESERVER);

// What every Wine process of the tests gets: no debug chatter, no offer to
// install Mono or Gecko, no desktop entries written into the developer's menus.
QProcessEnvironment wineEnvironment(const QString &prefix, const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"WINEPATH", "WINELOADER", "WINESERVER"})
        env.remove(QLatin1String(name));
    const QPair<const char *, QString> settings[] = {
        {"WINEPREFIX", prefix}, {"WINEDEBUG", QStringLiteral("-all")},
        {"WINEDLLOVERRIDES", QStringLiteral("mscoree,mshtml=;winemenubuilder.exe=d")}, {"HOME", home},
        {"XDG_CONFIG_HOME", home + QStringLiteral("/.config")}, {"XDG_DATA_HOME", home + QStringLiteral("/.local/share")},
        {"XDG_CACHE_HOME", home + QStringLiteral("/.cache")}};
    for (const auto &setting : settings)
        env.insert(QLatin1String(setting.first), setting.second);
    return env;
}

// Waits for a started `process`: its exit code, or -1 when it crashed or did
// not end within `timeoutMs` (then it is killed).
int finish(QProcess &process, int timeoutMs)
{
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

int runQuietly(const QString &program, const QStringList &arguments, const QProcessEnvironment &env, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    return finish(process, timeoutMs);
}

// The template prefix, made on first use and kept until the test program ends.
struct Template
{
    QTemporaryDir dir;
    QProcessEnvironment env = wineEnvironment(dir.path() + QStringLiteral("/prefix"), dir.path() + QStringLiteral("/home"));
    QString error;

    Template()
    {
        if (!dir.isValid() || !QDir().mkpath(dir.path() + QStringLiteral("/home"))
            || runQuietly(kWine64, {QStringLiteral("wineboot"), QStringLiteral("--init")}, env, 180000) != 0
            || runQuietly(kWineserver, {QStringLiteral("--wait")}, env, 60000) != 0
            || !QFileInfo(dir.path() + QStringLiteral("/prefix/drive_c/windows")).isDir())
            error = QStringLiteral("wineboot could not create a prefix in ") + dir.path();
    }
    ~Template() { runQuietly(kWineserver, {QStringLiteral("-k")}, env, 30000); }
};

}

WinePrefix::WinePrefix()
{
    static Template made;
    m_error = made.error;
    if (m_error.isEmpty() && (!m_dir.isValid() || !QDir().mkpath(m_dir.path() + QStringLiteral("/home"))
                              || QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), made.dir.path() + QStringLiteral("/prefix"), prefix()}) != 0))
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

QString WinePrefix::unavailableReason()
{
    if (!QFileInfo(installedLayout() + QStringLiteral("/upvane.exe")).isFile())
        return QStringLiteral("no Windows build in %1 (run scripts/build-windows, or set UPVANE_WINDOWS_BUILD)").arg(windowsBuild());
    if (!QFileInfo(kWine64).isExecutable())
        return QStringLiteral("wine64 not found (%1)").arg(kWine64);
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display: Wine programs need one (run under Xvfb)");
    return {};
}

QString WinePrefix::unixPath(const QString &windowsPath) const
{
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path.startsWith(QLatin1String("C:/"), Qt::CaseInsensitive) ? driveC() + path.mid(2) : path;
}

QString WinePrefix::appDataDir() const
{
    // drive_c/users/<user>/AppData/Roaming, <user> being the Linux user's name.
    const QStringList users = QDir(driveC() + QStringLiteral("/users"))
                                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                  .filter(QRegularExpression(QStringLiteral("^(?!Public$)")));
    return driveC() + QStringLiteral("/users/%1/AppData/Roaming/VELM/VELM Upvane").arg(users.value(0));
}

QProcessEnvironment WinePrefix::environment() const
{
    return wineEnvironment(prefix(), m_dir.path() + QStringLiteral("/home"));
}

void WinePrefix::prepare(QProcess &process, const QString &program, const QStringList &arguments,
                         const QProcessEnvironment &extra) const
{
    QProcessEnvironment env = environment();
    env.insert(extra);
    process.setProgram(kWine64);
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
    return finish(process, timeoutMs);
}

int WinePrefix::addDword(const QString &key, const QString &name, int value) const
{
    return run(QStringLiteral("reg"), {QStringLiteral("add"), key, QStringLiteral("/v"), name, QStringLiteral("/t"), QStringLiteral("REG_DWORD"),
                                       QStringLiteral("/d"), QString::number(value), QStringLiteral("/f")}, 60000);
}

bool WinePrefix::copyFolder(const QString &from, const QString &windowsTo) const
{
    const QString to = unixPath(windowsTo);
    return QDir().mkpath(QFileInfo(to).path()) && QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), from, to}) == 0;
}

QStringList WinePrefix::loadedDlls(const QString &image) const
{
    QStringList dlls;
    for (const QString &pid : processes(image).keys()) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
        for (const QByteArray &line : maps.open(QIODevice::ReadOnly) ? maps.readAll().split('\n') : QList<QByteArray>()) {
            const QString path = QString::fromLocal8Bit(line.mid(line.indexOf('/')));
            if (line.contains('/') && path.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive) && !dlls.contains(path))
                dlls << path;
        }
    }
    return dlls;
}

QMap<QString, QStringList> WinePrefix::processes(const QString &image) const
{
    QMap<QString, QStringList> found;
    const QByteArray ours = "WINEPREFIX=" + prefix().toLocal8Bit();
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs)) {
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid)), cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!environ.open(QIODevice::ReadOnly) || !environ.readAll().split('\0').contains(ours) || !cmdline.open(QIODevice::ReadOnly))
            continue;
        // (Decoded with its NULs made line ends: QString::fromLocal8Bit(QByteArray) stops at the first NUL.)
        const QStringList words = QString::fromLocal8Bit(cmdline.readAll().replace('\0', '\n')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (!words.isEmpty() && words.first().endsWith(image, Qt::CaseInsensitive))
            found.insert(pid, words);
    }
    return found;
}

void WinePrefix::stop() const
{
    runQuietly(kWineserver, {QStringLiteral("-k")}, environment(), 30000);
    runQuietly(kWineserver, {QStringLiteral("--wait")}, environment(), 30000);
}
