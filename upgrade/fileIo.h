#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class UpgradeProgram;

// File services for QML (context property "io"): the program and application-data
// folders, the copy of the upgrade program, a text file bound to `source` that
// read() and write() exchange with `text`, and one group of "data.ini".
class fileIo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl source READ source WRITE setSource NOTIFY sourceChanged)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)

public:
    explicit fileIo(QObject *parent = nullptr);

    QUrl source() const;
    QString text() const;

signals:
    void sourceChanged(QUrl arg);
    void textChanged(QString arg);

public slots:
    // Store and notify only when the value differs from the stored one.
    void setSource(QUrl source);
    void setText(QString text);

public:
    // Reads the file of `source` into `text` and emits textChanged (also when the
    // text is unchanged); creates a missing folder of the file first. On failure
    // `text` is unchanged and nothing is emitted: a missing file logs the warning
    // "Does not exits: <path>", an empty source or an unopenable file is silent.
    Q_INVOKABLE void read();
    // Writes `text` to the file of `source`, replacing its contents, creating the
    // folder and the file when missing. An empty source or a file that cannot be
    // opened is a silent no-op.
    Q_INVOKABLE void write();
    // The values of every key of group `groupName` in "data.ini" beside the
    // program, joined by ","; `titleName` is not used. Returns "" for a missing
    // file or group.
    Q_INVOKABLE QString loadSettings(QString groupName, QString titleName);
    // The program folder. Never fails.
    Q_INVOKABLE QString getAppPath();
    // Copies `srcPath` to "upgrade.exe" in the application-data folder, removing an
    // earlier copy first, and has the upgrade program (setUpgradeProgram) hold the
    // copy until it is started. Returns false (logs "Copy upgrade tool failed" and
    // the reason, see failure()) when the copy fails; an earlier copy is then gone
    // unless it could not be removed.
    Q_INVOKABLE bool copyFile(QString srcPath);
    // The application-data folder, created when missing. Never fails (see
    // HostSystem::appDataFolder()).
    Q_INVOKABLE QString get_userappdata_path();
    // Whether the file at `path` (as QML built it) is there and can be read:
    // checked before an upgrade sends anything to the device. false logs
    // "Upgrade program missing or unreadable: <path>".
    Q_INVOKABLE bool checkUpgradeProgram(QString path);
    // Why the last copyFile or checkUpgradeProgram returned false, in one short
    // plain sentence naming the file and the system's reason; empty after one that
    // succeeded. Never fails.
    Q_INVOKABLE QString failure() const;

    // The upgrade program that starts the copies copyFile makes. Not owned.
    void setUpgradeProgram(UpgradeProgram *program);

private:
    UpgradeProgram *m_program = nullptr;
    QUrl m_source;
    QString m_text;
    QString m_failure;
};
