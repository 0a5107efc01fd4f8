#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// A private world for starting the real program: its own program folder (a copy
// of the built executable, so config.ini and Report/ are the test's own), home,
// data and runtime folders. Nothing leaks into the developer's session.
class ProgramEnvironment
{
public:
    ProgramEnvironment()
    {
        QDir root(m_dir.path());
        for (const char *sub : {"program", "home", "data", "config", "run"})
            root.mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString &sub) const { return m_dir.path() + QLatin1Char('/') + sub; }
    QString programDir() const { return path(QStringLiteral("program")); }
    QString program() const { return programDir() + QStringLiteral("/upvane"); }
    QString runtimeDir() const { return path(QStringLiteral("run")); }
    QString serverSocket() const { return runtimeDir() + QStringLiteral("/VELMVELM Upvane"); }
    // Where Qt puts the application-data folder for this environment.
    QString appDataDir() const { return path(QStringLiteral("data")) + QStringLiteral("/VELM/VELM Upvane"); }

    // Copies the built program (and what ships beside it) into the program folder.
    bool installProgram(const QString &builtProgramDir) const
    {
        if (!QFile::copy(builtProgramDir + QStringLiteral("/upvane"), program()))
            return false;
        const QString tools = builtProgramDir + QStringLiteral("/upgradefile");
        if (QDir(tools).exists()) {
            QDir().mkpath(programDir() + QStringLiteral("/upgradefile"));
            for (const QString &name : QDir(tools).entryList(QDir::Files))
                QFile::copy(tools + QLatin1Char('/') + name, programDir() + QStringLiteral("/upgradefile/") + name);
        }
        return true;
    }

    QProcessEnvironment environment(bool offscreen = true) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir());
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true"));
        env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
        if (offscreen)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    // A process set up to run the program copy in this environment.
    void prepare(QProcess &process, const QStringList &arguments = {}, bool offscreen = true) const
    {
        process.setProgram(program());
        process.setArguments(arguments);
        process.setWorkingDirectory(path(QStringLiteral("home")));
        process.setProcessEnvironment(environment(offscreen));
    }

private:
    QTemporaryDir m_dir;
};
