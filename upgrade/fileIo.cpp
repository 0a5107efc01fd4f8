#include "fileIo.h"

#include "HostSystem.h"
#include "UpgradeProgram.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTextStream>

namespace {

// Creates the folder that holds `localPath` when it is missing; the outcome is
// not checked, the following file operation fails instead.
void makeParentFolder(const QString &localPath)
{
    const QString folder = QFileInfo(localPath).absolutePath();
    if (!folder.isEmpty() && !QDir(folder).exists())
        QDir().mkpath(folder);
}

// What the system said when an operation on `file` failed, without a closing full stop.
QString reason(const QFile &file)
{
    QString text = file.errorString().trimmed();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

}

fileIo::fileIo(QObject *parent)
    : QObject(parent)
{
}

QUrl fileIo::source() const
{
    return m_source;
}

QString fileIo::text() const
{
    return m_text;
}

void fileIo::setSource(QUrl source)
{
    if (source == m_source)
        return;
    m_source = source;
    emit sourceChanged(m_source);
}

void fileIo::setText(QString text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged(m_text);
}

void fileIo::read()
{
    if (m_source.isEmpty())
        return;
    const QString localPath = m_source.toLocalFile();
    makeParentFolder(localPath);
    if (!QFile::exists(localPath)) {
        qWarning().noquote() << QStringLiteral("Does not exits: ") + localPath;
        return;
    }
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QTextStream stream(&file);
    m_text = stream.readAll();
    emit textChanged(m_text);
}

void fileIo::write()
{
    if (m_source.isEmpty())
        return;
    const QString localPath = m_source.toLocalFile();
    makeParentFolder(localPath);
    QFile file(localPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QTextStream stream(&file);
    stream << m_text;
}

QString fileIo::loadSettings(QString groupName, QString titleName)
{
    Q_UNUSED(titleName)
    QSettings settings(HostSystem::programFolder() + QStringLiteral("/data.ini"), QSettings::IniFormat);
    settings.setIniCodec("UTF8");
    settings.beginGroup(groupName);
    QStringList values;
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys)
        values << settings.value(key).toString();
    return values.join(QLatin1Char(','));
}

QString fileIo::getAppPath()
{
    return HostSystem::programFolder();
}

bool fileIo::copyFile(QString srcPath)
{
    const QString destination = HostSystem::appDataFolder() + QStringLiteral("/upgrade.exe");
    m_failure.clear();
    if (m_program)
        m_program->releaseCopy();
    QFile earlier(destination);
    if (earlier.exists() && !earlier.remove()) {
        // Windows will not remove a program that runs.
        m_failure = QStringLiteral("The earlier upgrade.exe in the application-data folder cannot be replaced; "
                                   "it may still be running (%1).")
                        .arg(reason(earlier));
    }
    QFile source(srcPath);
    if (source.copy(destination)) {
        if (m_program)
            m_program->holdCopy(destination, srcPath);
        return true;
    }
    if (m_failure.isEmpty()) {
        m_failure = QStringLiteral("%1 could not be copied into the application-data folder (%2).")
                        .arg(QFileInfo(srcPath).fileName(), reason(source));
    }
    qDebug() << "Copy upgrade tool failed";
    qWarning().noquote() << m_failure;
    return false;
}

void fileIo::setUpgradeProgram(UpgradeProgram *program)
{
    m_program = program;
}

QString fileIo::get_userappdata_path()
{
    return HostSystem::appDataFolder();
}

bool fileIo::checkUpgradeProgram(QString path)
{
    QFile file(path);
    const QFileInfo info(path);
    m_failure.clear();
    if (info.isFile() && file.open(QIODevice::ReadOnly))
        return true;
    qWarning().noquote() << QStringLiteral("Upgrade program missing or unreadable: ") + path;
    if (info.isFile()) {
        m_failure = QStringLiteral("%1 in the folder %2 cannot be read (%3).")
                        .arg(info.fileName(), info.dir().dirName(), reason(file));
    } else {
        m_failure = QStringLiteral("%1 is missing from the folder %2.").arg(info.fileName(), info.dir().dirName());
    }
    return false;
}

QString fileIo::failure() const
{
    return m_failure;
}
