#include "Record.h"

#include <QFile>

Record::Record()
    : m_path(qEnvironmentVariable("UPVANE_UPGRADER_RECORD"))
{
}

void Record::line(const QString &key, const QString &value) const
{
    if (m_path.isEmpty())
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray text = key.toUtf8();
    if (!value.isNull())
        text += ' ' + value.toUtf8();
    file.write(text + '\n');
}

void Record::bytes(const QString &key, const QByteArray &data) const
{
    line(key + QStringLiteral("-hex"), QString::fromLatin1(data.toHex()));
    QString text = QString::fromUtf8(data.constData(), data.size());
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    line(key, text);
}
