#pragma once

#include <QFile>
#include <QStringList>

// What the stand-in upgrade program wrote to its record file (see
// emulator/upgrader/README.md): lines "<key> <value>", the last one saying how
// the run ended.
class StandInRecord
{
public:
    explicit StandInRecord(const QString &path)
    {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            m_lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QStringList values(const QString &key) const
    {
        QStringList found;
        for (const QString &line : m_lines) {
            if (line.startsWith(key + QLatin1Char(' ')))
                found << line.mid(key.size() + 1);
        }
        return found;
    }
    QString value(const QString &key) const { return values(key).value(0); }
    QString last() const { return m_lines.value(m_lines.size() - 1); }
    bool ended() const
    {
        for (const char *end : {"finished", "exit", "tool gone", "no channel", "no reply", "bad reply", "bad scenario"}) {
            if (last().startsWith(QLatin1String(end)))
                return true;
        }
        return false;
    }

private:
    QStringList m_lines;
};
