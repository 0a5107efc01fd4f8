#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A private world for the upgrade tests in a temporary folder: application-data
// and runtime folders, "program" for the probe, "bin" for programs it may start,
// the product's identity, and the stand-in upgrade program's record
// (emulator/upgrader/README.md) in record.txt.
class UpgradeTestWorld
{
public:
    UpgradeTestWorld()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("VELM"));
        QCoreApplication::setApplicationName(QStringLiteral("VELM Upvane"));
        for (const char *sub : {"run", "program", "bin"})
            QDir().mkpath(path(QString::fromLatin1(sub)));
        QFile::setPermissions(path(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(path(QStringLiteral("run"))));
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("UPVANE_UPGRADER_RECORD", QFile::encodeName(recordPath()));
    }

    QString path(const QString &sub) const { return m_dir.path() + QLatin1Char('/') + sub; }
    QString appDataDir() const { return path(QStringLiteral("data/VELM/VELM Upvane")); }
    QString recordPath() const { return path(QStringLiteral("record.txt")); }
    static QString standIn() { return QStringLiteral(UPVANE_PROGRAM_DIR "/upgradefile/RT48PX.exe"); }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static bool writeFile(const QString &path, const QByteArray &data)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    }

    // The record's values for `key` in order; with no key, every line.
    QStringList recorded(const QString &key = QString()) const
    {
        QFile file(recordPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray data = file.readAll();
        const QString text = QString::fromUtf8(data.constData(), data.size());   // counted NULs included
        QStringList found;
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (key.isNull() || line.startsWith(key + QLatin1Char(' ')))
                found << (key.isNull() ? line : line.mid(key.size() + 1));
        }
        return found;
    }
    QString recordEnd() const { return recorded().value(recorded().size() - 1); }

    // Runs upgrade_probe copied into "program" (its applicationDirPath) with "bin"
    // first in its search path; gives what it printed on either channel.
    QByteArray probe(const QStringList &arguments) const
    {
        const QString copy = path(QStringLiteral("program/upgrade_probe"));
        QFile::copy(QStringLiteral(UPGRADE_PROBE), copy);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), path(QStringLiteral("bin:")) + env.value(QStringLiteral("PATH")));
        env.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(copy, arguments);
        process.waitForFinished(30000);
        return process.readAll();
    }

private:
    QTemporaryDir m_dir;
};
