#include "LogLine.h"

namespace LogLine {

QString levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral("debug");
    case QtInfoMsg:
        return QStringLiteral("info");
    case QtWarningMsg:
        return QStringLiteral("warning");
    case QtCriticalMsg:
        return QStringLiteral("critical");
    case QtFatalMsg:
        return QStringLiteral("fatal");
    }
    return QStringLiteral("debug");
}

QByteArray format(const QDateTime &time, qint64 pid, QtMsgType type, const char *category, const QString &text)
{
    const QDateTime withOffset = time.toOffsetFromUtc(time.offsetFromUtc());
    QString line = withOffset.toString(Qt::ISODateWithMs);
    line += QStringLiteral(" [%1] ").arg(pid);
    line += levelName(type);
    line += QLatin1Char(' ');
    if (category && *category && qstrcmp(category, "default") != 0) {
        line += QString::fromUtf8(category);
        line += QStringLiteral(": ");
    }
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    body.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    line += body;
    line += QLatin1Char('\n');
    return line.toUtf8();
}

QString fileName(int index)
{
    return index == 0 ? QStringLiteral("upvane.log") : QStringLiteral("upvane.%1.log").arg(index);
}

}
