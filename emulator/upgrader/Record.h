#pragma once

#include <QByteArray>
#include <QString>

// The stand-in's account of what it was given and what it did: lines
// "<key> <value>" appended to the file named by UPVANE_UPGRADER_RECORD (nothing
// when it is unset). Each line is written and closed at once, so a reader that
// polls the file sees whole lines.
class Record
{
public:
    Record();

    void line(const QString &key, const QString &value = QString()) const;
    // Bytes as two lines: "<key>-hex <hex digits>" and "<key> <text>" (UTF-8,
    // line breaks shown as \n).
    void bytes(const QString &key, const QByteArray &data) const;

private:
    QString m_path;
};
