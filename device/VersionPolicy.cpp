#include "VersionPolicy.h"

#include "HostSystem.h"

#include <QSettings>
#include <QStringList>

namespace {

// A component as a base-10 integer; text that is no number counts as 0.
int component(const QString &text)
{
    return text.toInt(nullptr, 10);
}

// 1 when any of parts[from..] is non-zero, else 0.
bool anyNonZero(const QStringList &parts, int from)
{
    for (int i = from; i < parts.size(); ++i) {
        if (component(parts.at(i)) != 0)
            return true;
    }
    return false;
}

}

namespace VersionPolicy {

QString settingsPath()
{
    return HostSystem::programFolder() + QStringLiteral("/config.ini");
}

void useUtf8(QSettings &settings)
{
    settings.setIniCodec("UTF-8");
    // The INI reader skips a byte-order mark only before a group line: before a
    // key it becomes part of that key's name (its three bytes read as Latin-1).
    // Such a key is given its own name; the file is then rewritten without the mark.
    const QString mark = QString::fromLatin1("\xef\xbb\xbf");
    const QStringList keys = settings.childKeys();
    for (const QString &key : keys) {
        if (!key.startsWith(mark))
            continue;
        const QString name = key.mid(mark.size());
        if (!settings.contains(name))
            settings.setValue(name, settings.value(key));
        settings.remove(key);
    }
}

int compareVersion(QString a, QString b)
{
    const QStringList left = a.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    const QStringList right = b.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    const int common = qMin(left.size(), right.size());
    for (int i = 0; i < common; ++i) {
        const int l = component(left.at(i));
        const int r = component(right.at(i));
        if (l > r)
            return 1;
        if (l < r)
            return -1;
    }
    if (left.size() > common)
        return anyNonZero(left, common) ? 1 : 0;
    if (right.size() > common)
        return anyNonZero(right, common) ? -1 : 0;
    return 0;
}

bool repairSettings(QSettings &settings)
{
    if (!settings.contains(NeedUp4kKey))
        settings.setValue(NeedUp4kKey, NeedUp4kDefault);
    if (!settings.contains(CompareStatusKey))
        settings.setValue(CompareStatusKey, QStringLiteral("true"));
    const QString status = settings.value(CompareStatusKey).toString();
    if (status != QLatin1String("true") && status != QLatin1String("false")) {
        settings.setValue(CompareStatusKey, QStringLiteral("true"));
        return true;
    }
    return status == QLatin1String("true");
}

bool needsMicrocodeUpgrade(QSettings &settings, const QString &upVer)
{
    if (!repairSettings(settings))
        return false;
    const QString needed = settings.value(NeedUp4kKey).toString();
    QString version = upVer;
    version.remove(QLatin1Char('V'), Qt::CaseSensitive);
    return compareVersion(version, needed) != 0;
}

}
