#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A private world for the upgrade tests that run the service objects in the test
// process: the application-data and runtime folders point into a temporary
// folder, and the application's identity is the product's.
class UpgradeTestWorld
{
public:
    UpgradeTestWorld()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
        QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
        QDir().mkpath(path(QStringLiteral("run")));
        QFile::setPermissions(path(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path(QStringLiteral("run"))));
        qputenv("HOME", QFile::encodeName(m_dir.path()));
    }

    QString path(const QString &sub) const { return m_dir.path() + QLatin1Char('/') + sub; }
    QString appDataDir() const { return path(QStringLiteral("data/VELM/VELM Upvane")); }
    // A stand-in upgrade program, as the wizard ships it.
    static QString standIn() { return QStringLiteral(UPVANE_PROGRAM_DIR "/upgradefile/RT48PX.exe"); }

private:
    QTemporaryDir m_dir;
};
