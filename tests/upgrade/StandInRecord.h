#pragma once

#include <QFile>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the stand-in upgrade program wrote to its record file (see
// emulator/upgrader/README.md): lines "<key> <value>", in order.
class StandInRecord
{
public:
    explicit StandInRecord(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            m_raw << line;
            const int blank = line.indexOf(QLatin1Char(' '));
            m_lines << (blank < 0 ? qMakePair(line, QString()) : qMakePair(line.left(blank), line.mid(blank + 1)));
        }
    }

    bool has(const QString &key) const { return !values(key).isEmpty(); }
    QString value(const QString &key) const
    {
        const QStringList all = values(key);
        return all.isEmpty() ? QString() : all.first();
    }
    QStringList values(const QString &key) const
    {
        QStringList found;
        for (const auto &line : m_lines) {
            if (line.first == key)
                found << line.second;
        }
        return found;
    }
    // Whether the run has ended, one way or another.
    bool ended() const
    {
        for (const QString &line : m_raw) {
            for (const char *end : {"finished", "exit", "tool gone", "no channel", "no reply", "bad reply", "bad scenario"}) {
                const QLatin1String marker(end);
                if (line == marker || line.startsWith(marker + QLatin1Char(' ')))
                    return true;
            }
        }
        return false;
    }

private:
    QStringList m_raw;
    QList<QPair<QString, QString>> m_lines;
};
