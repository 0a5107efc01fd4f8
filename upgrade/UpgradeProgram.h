#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class HeldFile;

// The upgrade program of the stage that runs: the process the launcher started
// and every process it starts in turn. Windows: they are held in a job object of
// their own (the tool's exit does not end them), also after a start through the
// shell (elevation); where some of them cannot be put into the job, the program
// is followed by its process tree as far as it shows, and its end is not watched.
// Elsewhere: the program leads a session of its own, and the session is the
// program.
//
// From a successful start() until the program's final report (reportFinished())
// the program is "awaited": the status channel takes reports from its processes
// only (owns()), and it is watched. When every one of its processes has ended
// while it is still awaited, endedWithoutReport() is emitted, within about two
// seconds, with a log line and how the started process ended. A program that
// is alive but silent, or whose processes cannot all be known, is awaited for
// ever: it may be writing the firmware.
//
// The copy of the shipped program that start() runs is held from its copy
// (holdCopy()) until its process has started, and its bytes are checked against
// the shipped program's: nobody can swap it for another program meanwhile.
class UpgradeProgram : public QObject
{
    Q_OBJECT

public:
    explicit UpgradeProgram(QObject *parent = nullptr);
    // Forgets the program; never ends it.
    ~UpgradeProgram() override;

    // Starts `program` with `arguments` in `folder`, its output and errors
    // discarded, and awaits it; an earlier program is forgotten first. Returns
    // false (one log line, error() set, nothing awaited) when it cannot be
    // started, when `program` is the held copy and its bytes are not the shipped
    // program's, or when reportsPossible is false (nothing started).
    bool start(const QString &program, const QStringList &arguments, const QString &folder);
    // Why the last start() failed, in one short plain sentence (the system's
    // reason where it gave one); empty after a start that succeeded.
    QString error() const;

    // `copy` was just made from `shipped`: holds it unchanged until the next
    // start(), which runs it only when its bytes are still the shipped program's.
    // Never fails: a copy that cannot be held fails that start. An earlier hold
    // is let go.
    void holdCopy(const QString &copy, const QString &shipped);
    // Lets the held copy go, so that it can be replaced. Never fails.
    void releaseCopy();

    // Whether the program of the last start is awaited.
    bool isAwaited() const;
    // Whether the process `pid` belongs to the awaited program. false when none
    // is awaited.
    bool owns(qint64 pid) const;
    // The awaited program gave its final report: reports are no longer taken from
    // it and its end is no longer watched. Nothing when none is awaited.
    void reportFinished();

    // Whether a started program could reach the tool at all (the status channel
    // listens). false makes start() fail at once. Initially true.
    void setReportsPossible(bool possible);

signals:
    // The awaited program ended wholly without its final report. `end`: how the
    // started process ended ("exit code 3", "signal 9"), empty when unknown.
    void endedWithoutReport(const QString &end);

private:
    struct Native;   // the platform's handles on the program
    struct NativeDeleter
    {
        void operator()(Native *native) const;   // releases the handles, never ends the program
    };

    // Platform parts. launch: starts the program from the file `image` (the file
    // of `program`); nullptr with `error` set when it cannot. startedEnded:
    // whether the started process has ended (the first time it finds so, it logs
    // how). othersAlive: whether a process it started runs on, or may (true when
    // that cannot be known). belongs: membership of a process id. processId: the
    // started process. endOf: how the started process ended, once startedEnded
    // found so; else empty.
    static Native *launch(const QString &program, const QString &image, const QStringList &arguments,
                          const QString &folder, QString *error);
    static bool startedEnded(Native *native);
    static bool othersAlive(Native *native);
    static bool belongs(Native *native, qint64 pid);
    static qint64 processId(const Native *native);
    static QString endOf(const Native *native);

    void poll();
    void stopAwaiting();

    // Sets error() to `sentence`, logs `logLine` as a warning; false.
    bool fail(const QString &sentence, const QString &logLine);

    std::unique_ptr<Native, NativeDeleter> m_native;
    std::unique_ptr<HeldFile> m_heldCopy;
    QString m_shipped;   // the program m_heldCopy was made from
    QTimer m_poll;
    bool m_awaited = false;
    bool m_reportsPossible = true;
    QString m_error;   // why the last start() failed
    int m_goneSeen = 0;   // polls in a row that found no process of the program
};
