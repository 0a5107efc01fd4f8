#include "TestWorld.h"

#include "HostSystem.h"
#include "QSingleApplication.h"
#include "TextFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

const char *const kFolders[][2] = {
    {"HOME", "home"}, {"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_RUNTIME_DIR", "run"}};
const QString kBuiltProgramDir = QStringLiteral(UPVANE_PROGRAM_DIR);

bool copyFiles(const QString &from, const QString &to)
{
    bool ok = QDir().mkpath(to);
    for (const QString &name : QDir(from).entryList(QDir::Files))
        ok = QFile::copy(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name) && ok;
    return ok;
}

}

TestWorld::TestWorld()
{
    QSingleApplication::setIdentity();
    m_outerProgramDir = HostSystem::programFolder();
    for (const auto &folder : kFolders) {
        m_outer.append({folder[0], qgetenv(folder[0])});
        QDir().mkpath(path(QLatin1String(folder[1])));
        qputenv(folder[0], QFile::encodeName(path(QLatin1String(folder[1]))));
    }
    m_outer.append({"UPVANE_UPGRADER_RECORD", qgetenv("UPVANE_UPGRADER_RECORD")});
    qputenv("UPVANE_UPGRADER_RECORD", QFile::encodeName(recordPath()));
    QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QDir().mkpath(programDir());
    HostSystem::setProgramFolder(programDir());
}

TestWorld::~TestWorld()
{
    for (const auto &variable : qAsConst(m_outer)) {
        if (variable.second.isEmpty())
            qunsetenv(variable.first.constData());
        else
            qputenv(variable.first.constData(), variable.second);
    }
    HostSystem::setProgramFolder(m_outerProgramDir);
}

bool TestWorld::isValid() const { return m_dir.isValid(); }
QString TestWorld::path(const QString &sub) const { return m_dir.path() + QLatin1Char('/') + sub; }
QString TestWorld::programDir() const { return path(QStringLiteral("program")); }
QString TestWorld::program() const { return programDir() + QStringLiteral("/upvane"); }
QString TestWorld::runtimeDir() const { return path(QStringLiteral("run")); }
QString TestWorld::serverSocket() const { return runtimeDir() + QLatin1Char('/') + QSingleApplication::serverName(); }
QString TestWorld::appDataDir() const { return path(QStringLiteral("data/VELM/VELM Upvane")); }

QString TestWorld::standIn() { return kBuiltProgramDir + QStringLiteral("/upgradefile/RT48PX.exe"); }
QString TestWorld::recordPath() const { return path(QStringLiteral("record.txt")); }

QStringList TestWorld::recorded(const QString &key) const
{
    QStringList found;
    for (const QString &line : TextFiles::lines(recordPath()))
        if (key.isNull() || line.startsWith(key + QLatin1Char(' ')))
            found << (key.isNull() ? line : line.mid(key.size() + 1));
    return found;
}

QString TestWorld::recordEnd() const
{
    const QStringList lines = recorded();   // read once: the stand-ins may still be writing
    return lines.value(lines.size() - 1);
}

bool TestWorld::addUpgradePrograms() const
{
    return copyFiles(kBuiltProgramDir + QStringLiteral("/upgradefile"), programDir() + QStringLiteral("/upgradefile"));
}

bool TestWorld::installProgram() const
{
    return QFile::copy(kBuiltProgramDir + QStringLiteral("/upvane"), program()) && addUpgradePrograms();
}

QProcessEnvironment TestWorld::environment(bool offscreen) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto &folder : kFolders)
        env.insert(QLatin1String(folder[0]), path(QLatin1String(folder[1])));
    env.insert(QStringLiteral("UPVANE_UPGRADER_RECORD"), recordPath());
    env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true"));
    env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
    if (offscreen)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

void TestWorld::prepare(QProcess &process, const QStringList &arguments, bool offscreen) const
{
    process.setProgram(program());
    process.setArguments(arguments);
    process.setWorkingDirectory(path(QStringLiteral("home")));
    process.setProcessEnvironment(environment(offscreen));
}
