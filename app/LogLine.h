#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// The text of the log file, line by line. Pure functions, no I/O.
namespace LogLine {

// The level's word in the log: "debug", "info", "warning", "critical", "fatal".
QString levelName(QtMsgType type);

// One entry as UTF-8, ending in "\n":
//   2026-12-07T18:22:25.123+01:00 [4711] warning qml: the message
// The time is local with its offset from UTC; `category` is left out when it is
// null, empty or "default"; every line break inside `text` continues the entry on
// a new line indented by four blanks, so each entry starts with its time. Never fails.
QByteArray format(const QDateTime &time, qint64 pid, QtMsgType type, const char *category, const QString &text);

// The file name of the log: "upvane.log" for index 0, "upvane.N.log" for the
// N-th older file (1 is the most recent of them).
QString fileName(int index);

}
