#include "UpgradeProgram.h"

#include <QDebug>
#include <QDir>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include <qt_windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

// The program runs in a job object of its own, and the job is what says which
// processes are the program and whether one of them still runs. The job lets its
// processes break away when they ask, and does not end them when its last handle
// closes: they run on, detached, after the tool exits.
//
// Started by CreateProcess, the program is created suspended, put into the job
// and then resumed: every process it starts is in the job. Started through the
// shell (its manifest asks for elevation), it runs before we get its handle: it is
// put into the job at once, and so are the processes that it (or one of them)
// started before that, found by followTree. Where that cannot be done for
// certain, the program is not "certain": followTree then keeps following its
// processes by their parent ids as far as they show, and its end is not watched
// (it is awaited until it reports).
struct UpgradeProgram::Native
{
    HANDLE job = nullptr;       // the program's processes (every one when `certain`)
    HANDLE process = nullptr;   // the started process
    DWORD pid = 0;
    bool certain = false;
    bool endLogged = false;
    QString end;                // how it ended, once logged
    std::map<DWORD, quint64> tree;   // followTree's processes: id -> creation time
};

namespace {

// CreateProcess's answer for a program whose manifest asks for elevation (winerror.h).
constexpr DWORD ElevationRequired = 740;

// The system's own words for an error code, as one plain sentence.
QString lastError(DWORD code = GetLastError())
{
    const QString text = qt_error_string(int(code)).trimmed();
    return text.isEmpty() ? QStringLiteral("Error %1.").arg(code) : text;
}

// One argument as the C runtime's command-line parser reads it back.
QString quoted(const QString &argument)
{
    const bool plain = std::none_of(argument.begin(), argument.end(),
                                    [](QChar c) { return c.isSpace() || c == QLatin1Char('"'); });
    if (!argument.isEmpty() && plain)
        return argument;
    QString out = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        if (c == QLatin1Char('"'))
            out += QString(backslashes * 2 + 1, QLatin1Char('\\'));
        else
            out += QString(backslashes, QLatin1Char('\\'));
        backslashes = 0;
        out += c;
    }
    out += QString(backslashes * 2, QLatin1Char('\\'));
    out += QLatin1Char('"');
    return out;
}

HANDLE openNul()
{
    SECURITY_ATTRIBUTES inheritable = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE makeJob()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;   // and no kill on close
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    return job;
}

// The elevated start: the shell asks the user and gives back the process alone.
HANDLE startThroughShell(const QString &program, const QString &parameters, const QString &folder, QString *error)
{
    const std::wstring file = QDir::toNativeSeparators(program).toStdWString();
    const std::wstring params = parameters.toStdWString();
    const std::wstring directory = QDir::toNativeSeparators(folder).toStdWString();
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpFile = file.c_str();
    info.lpParameters = params.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        *error = lastError();
        return nullptr;
    }
    return info.hProcess;
}

// Every process of the system with its parent: (process id, parent id).
std::vector<std::pair<DWORD, DWORD>> processList()
{
    std::vector<std::pair<DWORD, DWORD>> list;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return list;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        list.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    CloseHandle(snapshot);
    return list;
}

// A handle on the process `pid` with `rights` and the right to ask about it.
// Windows asks IsProcessInJob for the limited query right; Wine for the full one,
// which a process of the same user grants.
HANDLE openProcess(DWORD pid, DWORD rights)
{
    HANDLE process = OpenProcess(rights | PROCESS_QUERY_INFORMATION, FALSE, pid);
    return process ? process : OpenProcess(rights | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
}

// When the process was created, in 100 ns units; 0 when unknown.
quint64 createdAt(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (quint64(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool inJob(HANDLE job, HANDLE process)
{
    BOOL in = FALSE;
    return IsProcessInJob(process, job, &in) && in;
}

// The program's processes as their parent ids show them: grows `tree` (process
// id -> creation time, the started process's entry first) by every live process
// whose parent is in it and that was created after that parent, until a look
// finds none new, then drops those that ended. With a `job`, puts each one found
// into it (after a start through the shell) and returns false when one cannot be
// put there, or when a process created since the start names a parent that is
// gone or is not the process its id names now (it may be ours, left by a child
// that ended unseen); both need the processes the tool may open: a process of
// the user, elevated or not. Without a job (not certain), a child that cannot be
// opened counts as well, and true is returned.
bool followTree(std::map<DWORD, quint64> &tree, DWORD started, HANDLE job)
{
    const quint64 since = tree[started];
    std::set<DWORD> alive;
    for (bool grown = true; grown;) {
        grown = false;
        const std::vector<std::pair<DWORD, DWORD>> processes = processList();
        alive.clear();
        for (const auto &process : processes)
            alive.insert(process.first);
        for (const auto &[pid, parent] : processes) {
            const bool child = tree.count(parent) > 0;
            if (tree.count(pid) || (!child && (!job || alive.count(parent))))
                continue;
            const HANDLE process = openProcess(pid, job ? PROCESS_SET_QUOTA | PROCESS_TERMINATE : 0);
            const quint64 created = process ? createdAt(process) : 0;
            bool sure = true;
            if (child && (process ? created >= tree[parent] : !job)) {
                sure = !job || inJob(job, process) || AssignProcessToJobObject(job, process);
                tree[pid] = created;
                grown = true;
            } else if (job && (!child || process)) {
                // Its parent is gone, or is not the process its id names now: ours
                // only when created since the start. One we may not open is not.
                sure = !process || created < since;
            }
            if (process)
                CloseHandle(process);
            if (!sure)
                return false;
        }
    }
    for (auto it = tree.begin(); it != tree.end();)
        it = it->first != started && !alive.count(it->first) ? tree.erase(it) : std::next(it);
    return true;
}

// Starts the program suspended, puts it into `job` (`inJob` tells whether that
// worked) and lets it run. false when it was not started: `error` set, or left
// empty when its manifest asks for elevation (the shell must start it).
bool startWithJob(HANDLE job, const QString &program, const QString &parameters, const QString &folder,
                  PROCESS_INFORMATION *started, bool *inJob, QString *error)
{
    std::wstring commandLine = (quoted(QDir::toNativeSeparators(program)) + QLatin1Char(' ') + parameters).toStdWString();
    const std::wstring directory = QDir::toNativeSeparators(folder).toStdWString();
    const HANDLE nul = openNul();
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    const DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | (GetConsoleWindow() ? 0 : CREATE_NO_WINDOW);
    const BOOL created = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, nul != INVALID_HANDLE_VALUE,
                                        flags, nullptr, directory.c_str(), &startup, started);
    const DWORD createError = GetLastError();
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (!created) {
        if (createError != ElevationRequired)
            *error = lastError(createError);
        return false;
    }
    *inJob = job && AssignProcessToJobObject(job, started->hProcess);
    ResumeThread(started->hThread);
    CloseHandle(started->hThread);
    return true;
}

// Test equipment only: "shell" starts every program through the shell;
// "shell-late" also gives its process back only once it has ended (at most 10 s),
// as a shell that asks the user first may give back a launcher that has handed
// its work over already: what it started is then found by followTree alone.
QString shellStartWanted()
{
#ifdef UPVANE_SHELL_START_SWITCH
    const QString start = qEnvironmentVariable("UPVANE_UPGRADE_START");
    return start.startsWith(QLatin1String("shell")) ? start : QString();
#else
    return QString();
#endif
}

}

void UpgradeProgram::NativeDeleter::operator()(Native *native) const
{
    if (!native)
        return;
    if (native->process)
        CloseHandle(native->process);
    if (native->job)
        CloseHandle(native->job);   // the job's processes run on: no kill on close
    delete native;
}

UpgradeProgram::Native *UpgradeProgram::launch(const QString &program, const QString &image,
                                               const QStringList &arguments, const QString &folder, QString *error)
{
    Q_UNUSED(image)   // the held file's own name: nobody can give it to another file
    QString parameters;
    for (const QString &argument : arguments)
        parameters += QLatin1Char(' ') + quoted(argument);
    parameters = parameters.mid(1);
    auto *native = new Native;
    native->job = makeJob();
    PROCESS_INFORMATION started;
    ZeroMemory(&started, sizeof started);
    const QString shellStart = shellStartWanted();
    const bool throughShell = !shellStart.isEmpty()
        || !startWithJob(native->job, program, parameters, folder, &started, &native->certain, error);
    if (!throughShell) {
        native->process = started.hProcess;
        native->pid = started.dwProcessId;
    } else if (error->isEmpty()) {
        native->process = startThroughShell(program, parameters, folder, error);
        if (native->process) {
            native->pid = GetProcessId(native->process);
            if (shellStart == QLatin1String("shell-late"))
                WaitForSingleObject(native->process, 10000);
            native->tree[native->pid] = createdAt(native->process);
            // One that has ended already (a launcher quick to hand over its
            // work) need not be in the job: what it started must.
            native->certain = native->job
                && (AssignProcessToJobObject(native->job, native->process)
                    || WaitForSingleObject(native->process, 0) == WAIT_OBJECT_0)
                && followTree(native->tree, native->pid, native->job);
            qInfo().noquote() << QStringLiteral("Upgrade program %1 started through the shell").arg(native->pid);
        }
    }
    if (!native->process) {
        NativeDeleter()(native);
        return nullptr;
    }
    if (!native->certain)
        qWarning().noquote() << QStringLiteral("Upgrade program %1: not all of its processes can be followed; "
                                               "its end is not watched, its report is awaited")
                                    .arg(native->pid);
    return native;
}

bool UpgradeProgram::startedEnded(Native *native)
{
    if (native->endLogged)
        return true;
    if (WaitForSingleObject(native->process, 0) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(native->process, &code);
    // An end by an exception (an access violation, 0xC0000005) reads best in hex.
    native->end = code >= 0xC0000000u ? QStringLiteral("exit code 0x") + QString::number(code, 16).toUpper()
                                      : QStringLiteral("exit code %1").arg(code);
    qInfo().noquote() << QStringLiteral("Upgrade program %1 ended: %2").arg(native->pid).arg(native->end);
    native->endLogged = true;
    return true;
}

bool UpgradeProgram::othersAlive(Native *native)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
    ZeroMemory(&accounting, sizeof accounting);
    return !native->certain
        || !QueryInformationJobObject(native->job, JobObjectBasicAccountingInformation, &accounting,
                                      sizeof accounting, nullptr)
        || accounting.ActiveProcesses > 0;
}

bool UpgradeProgram::belongs(Native *native, qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    // The started process itself: its id cannot pass to another process while
    // we hold its handle.
    if (DWORD(pid) == native->pid)
        return true;
    if (!native->certain) {
        native->tree.emplace(native->pid, createdAt(native->process));
        followTree(native->tree, native->pid, nullptr);
        if (native->tree.count(DWORD(pid)))
            return true;
    }
    if (!native->job)
        return false;
    const HANDLE process = openProcess(DWORD(pid), 0);
    if (!process)
        return false;
    const bool in = inJob(native->job, process);
    CloseHandle(process);
    return in;
}

qint64 UpgradeProgram::processId(const Native *native)
{
    return native ? qint64(native->pid) : 0;
}

QString UpgradeProgram::endOf(const Native *native)
{
    return native ? native->end : QString();
}
