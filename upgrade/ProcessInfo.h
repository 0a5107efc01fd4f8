#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

class UpgradeProgram;

// Starts programs for QML (context property "process"): the upgrade program
// copied into the application-data folder, which runs on by itself but is
// watched while its stage awaits it (UpgradeProgram); the text editor for
// reports, detached and never waited for; and the task list, to learn whether an
// upgrade program is already running.
class ProcessInfo : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantMap result READ result NOTIFY statusChanged)

public:
    // Creates the application-data folder when it is missing.
    explicit ProcessInfo(QObject *parent = nullptr);

    QVariantMap result() const;

    // The upgrade program of the stage that runs (the status channel takes
    // reports from it alone). Never null; owned by this object.
    UpgradeProgram *upgradeProgram() const;

signals:
    // The notify signal of `result`; nothing in this class emits it.
    void statusChanged();
    // The upgrade program started last ended wholly without its final report
    // (0, 1 or 2), within about two seconds of its end. `end`: how its started
    // process ended ("exit code 3", "signal 9"), empty when unknown.
    void upgradeProgramLost(QString end);

public slots:
    // true when a running program's name contains "FwLoader" (case-sensitive) and
    // logs "find upgrade utility"; otherwise logs "no other upgrade utility" and
    // returns false. A task list that cannot be read gives false without a log.
    bool getDriverProcess();

public:
    // Starts "<application-data folder>/<name>" in that folder with no argument
    // (mode 0), "-s" (mode 2) or "-f" (any other mode), output discarded, as the
    // upgrade program of the stage. Returns false when the file is missing
    // (warning "Does not exits: <path>"), or could not be started or is not the
    // shipped program it was copied from (one log line,
    // upgradeProgram()->error()); true when it runs.
    Q_INVOKABLE bool openProcess(QString name, int mode);
    // Why the last openProcess returned false, in one short plain sentence (the
    // file missing, or the system's reason it could not be started); empty after
    // one that started the program. Never fails.
    Q_INVOKABLE QString startError() const;
    // The application-data folder, created when missing. Never fails (see
    // HostSystem::appDataFolder()).
    Q_INVOKABLE QString get_userappdata_path();
    // Sets "statsu" in `result` to 1 without emitting statusChanged. Never fails.
    Q_INVOKABLE void start_Upgrade();
    // Shows "<program folder>/Report/<name>" in the text editor, started detached.
    // Returns false (warning "Does not exits: <path>", nothing started) when the
    // report is missing; true otherwise, whether or not the editor starts.
    Q_INVOKABLE bool openReport(QString name);

private:
    QVariantMap m_result;
    UpgradeProgram *m_program;
    QString m_startError;
};
