#pragma once

#include <QObject>
#include <QString>

// The folder holding the log, for QML ("logFolder"): the failure page's link
// opens it in the system's file manager.
class LogFolder : public QObject
{
    Q_OBJECT

public:
    explicit LogFolder(const QString &path, QObject *parent = nullptr);

    // Shows the folder in the file manager (Explorer, the desktop's own).
    // Returns false when there is no folder or the system could not open it.
    Q_INVOKABLE bool open() const;

private:
    QString m_path;
};
