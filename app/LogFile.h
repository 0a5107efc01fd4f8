#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The log file in a folder, bounded by rotation: lines go to "upvane.log"; when a
// line would take it past `limit` bytes, it becomes "upvane.1.log" (the older
// ones move up to "upvane.2.log" and so on, the oldest beyond `keep` is removed)
// and a new "upvane.log" begins. Several processes may append to the same folder.
class LogFile
{
public:
    static constexpr qint64 DefaultLimit = 1024 * 1024;
    static constexpr int DefaultKeep = 3;

    explicit LogFile(const QString &folder, qint64 limit = DefaultLimit, int keep = DefaultKeep);

    // Appends `line` (UTF-8, with its line break) in one write. Returns false when
    // the folder or the file cannot be created or written, or the file is a
    // symbolic link (or reparse point); the next line tries again, and a file
    // that ends inside a cut-off line (this process's or another's) first gets a
    // line break, so lines never run together. A rotation that fails (another
    // process holds the file) is retried with the next line and the line is
    // appended all the same.
    bool write(const QByteArray &line);

    QString folder() const { return m_folder; }
    QString currentPath() const;

private:
    bool open();
    // Whether the file's last byte is not a line break.
    bool endsInsideLine();
    void rotate();

    QString m_folder;
    qint64 m_limit;
    int m_keep;
    QFile m_file;
};
