#include "fileIo.h"

#include "AppDataFolder.h"
#include "ProgramFolder.h"

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
    QSettings settings(ProgramFolder::path() + QStringLiteral("/data.ini"), QSettings::IniFormat);
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
    return ProgramFolder::path();
}

bool fileIo::copyFile(QString srcPath)
{
    const QString destination = AppDataFolder::path() + QStringLiteral("/upgrade.exe");
    if (QFile::exists(destination))
        QFile::remove(destination);
    if (QFile::copy(srcPath, destination))
        return true;
    qDebug() << "Copy upgrade tool failed";
    return false;
}

QString fileIo::get_userappdata_path()
{
    return AppDataFolder::path();
}

bool fileIo::checkUpgradeProgram(QString path)
{
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly))
        return true;
    qWarning().noquote() << QStringLiteral("Upgrade program missing or unreadable: ") + path;
    return false;
}
