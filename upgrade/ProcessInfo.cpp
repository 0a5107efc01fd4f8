#include "ProcessInfo.h"

#include "HostSystem.h"
#include "UpgradeProgram.h"

#include <QDebug>
#include <QFile>
#include <QProcess>

namespace {

// Starts `program` detached with its output and errors discarded; the outcome of
// the start is not examined.
void startDetached(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setProgram(program);
    if (!arguments.isEmpty())
        process.setArguments(arguments);
    process.setWorkingDirectory(folder);
    process.setStandardOutputFile(QProcess::nullDevice(), QIODevice::Truncate);
    process.setStandardErrorFile(QProcess::nullDevice(), QIODevice::Truncate);
    process.startDetached();
}

}

ProcessInfo::ProcessInfo(QObject *parent)
    : QObject(parent)
    , m_program(new UpgradeProgram(this))
{
    connect(m_program, &UpgradeProgram::endedWithoutReport, this, &ProcessInfo::upgradeProgramLost);
    get_userappdata_path();
}

UpgradeProgram *ProcessInfo::upgradeProgram() const
{
    return m_program;
}

QVariantMap ProcessInfo::result() const
{
    return m_result;
}

bool ProcessInfo::getDriverProcess()
{
    QByteArray listing;
    if (!HostSystem::taskList(&listing))
        return false;
    if (listing.indexOf("FwLoader") >= 0) {
        qDebug() << "find upgrade utility";
        return true;
    }
    qDebug() << "no other upgrade utility";
    return false;
}

bool ProcessInfo::openProcess(QString name, int mode)
{
    const QString folder = get_userappdata_path();
    const QString path = folder + QLatin1Char('/') + name;
    m_startError.clear();
    if (!QFile::exists(path)) {
        qWarning().noquote() << QStringLiteral("Does not exits: ") + path;
        m_startError = QStringLiteral("%1 is missing from the application-data folder.").arg(name);
        return false;
    }
    QStringList arguments;
    if (mode == 2)
        arguments << QStringLiteral("-s");
    else if (mode != 0)
        arguments << QStringLiteral("-f");
    if (m_program->start(path, arguments, folder))
        return true;
    m_startError = m_program->error();
    return false;
}

QString ProcessInfo::startError() const
{
    return m_startError;
}

QString ProcessInfo::get_userappdata_path()
{
    return HostSystem::appDataFolder();
}

void ProcessInfo::start_Upgrade()
{
    m_result.insert(QStringLiteral("statsu"), 1);
}

bool ProcessInfo::openReport(QString name)
{
    const QString folder = HostSystem::programFolder() + QStringLiteral("/Report");
    const QString path = folder + QLatin1Char('/') + name;
    if (!QFile::exists(path)) {
        qWarning().noquote() << QStringLiteral("Does not exits: ") + path;
        return false;
    }
    startDetached(HostSystem::textEditor(), {path}, folder);
    return true;
}
