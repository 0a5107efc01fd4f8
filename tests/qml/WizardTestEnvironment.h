#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A private world for a wizard test program, set up in main() before the
// application object exists: its own home, data, config and runtime folders (so
// the application-data folder and the status channel's socket are the test's
// own), and the program's identity as the wizard sets it.
class WizardTestEnvironment
{
public:
    WizardTestEnvironment()
    {
        QDir root(m_dir.path());
        for (const char *sub : {"home", "data", "config", "run"})
            root.mkpath(QString::fromLatin1(sub));
        QFile::setPermissions(path("run"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("HOME", QFile::encodeName(path("home")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(path("data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path("config")));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path("run")));
        qputenv("QT_QUICK_BACKEND", "software");
        QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
        QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
    }

    bool isValid() const { return m_dir.isValid(); }
    QString path(const char *sub) const { return m_dir.path() + QLatin1Char('/') + QLatin1String(sub); }

private:
    QTemporaryDir m_dir;
};
