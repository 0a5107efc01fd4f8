#include "UpgradeProgram.h"

#include <QDebug>
#include <QDir>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include <qt_windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

// The program runs in a job object of its own: started suspended, assigned to the
// job, then resumed, so every process it starts is in the job too. The job lets
// its processes break away when they ask, and does not end them when its last
// handle closes: they run on, detached, after the tool exits. Where the start
// needed the shell (an elevation prompt), only the process the shell returned is
// known: it is the program alone, and there is no job.
//
// Some systems (Wine 8.0 among them) create and assign jobs but do not count
// their processes. So the program's processes are also followed by their parent
// process ids: the started process and every process whose parent is one of
// them, learnt at every look (each status that arrives, and each watch once the
// started process has ended) and forgotten once ended. The job still answers
// for a process whose parent ended unseen.
struct UpgradeProgram::Native
{
    HANDLE job = nullptr;       // null: started through the shell
    HANDLE process = nullptr;   // the started process
    DWORD pid = 0;
    bool endLogged = false;
    QString end;                // how it ended, once logged
    std::set<DWORD> tree;       // processes known to descend from the started one, alive at the last look
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

// Brings `tree` up to date: the live processes among it, and every live process
// whose parent is in it. Not for a program started through the shell.
void followTree(std::set<DWORD> &tree, DWORD started)
{
    const std::vector<std::pair<DWORD, DWORD>> processes = processList();
    std::set<DWORD> known = tree;
    known.insert(started);
    for (bool grown = true; grown;) {
        grown = false;
        for (const auto &[pid, parent] : processes) {
            if (pid != started && known.count(parent) && known.insert(pid).second)
                grown = true;
        }
    }
    tree.clear();
    for (const auto &process : processes) {
        if (process.first != started && known.count(process.first))
            tree.insert(process.first);
    }
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

UpgradeProgram::Native *UpgradeProgram::launch(const QString &program, const QStringList &arguments,
                                               const QString &folder, QString *error)
{
    QString parameters;
    for (const QString &argument : arguments)
        parameters += QLatin1Char(' ') + quoted(argument);
    parameters = parameters.mid(1);
    std::wstring commandLine = (quoted(QDir::toNativeSeparators(program)) + QLatin1Char(' ') + parameters).toStdWString();
    const std::wstring directory = QDir::toNativeSeparators(folder).toStdWString();

    HANDLE nul = openNul();
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION started;
    ZeroMemory(&started, sizeof started);
    const DWORD flags = CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT | (GetConsoleWindow() ? 0 : CREATE_NO_WINDOW);
    const BOOL created = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, nul != INVALID_HANDLE_VALUE,
                                        flags, nullptr, directory.c_str(), &startup, &started);
    const DWORD createError = GetLastError();
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);

    auto *native = new Native;
    if (!created) {
        if (createError != ElevationRequired) {
            *error = lastError(createError);
            delete native;
            return nullptr;
        }
        native->process = startThroughShell(program, parameters, folder, error);
        if (!native->process) {
            delete native;
            return nullptr;
        }
        native->pid = GetProcessId(native->process);
        return native;
    }
    native->process = started.hProcess;
    native->pid = started.dwProcessId;
    native->job = makeJob();
    if (!native->job || !AssignProcessToJobObject(native->job, started.hProcess)) {
        // Without the job the program is the started process alone.
        if (native->job)
            CloseHandle(native->job);
        native->job = nullptr;
        qWarning().noquote() << QStringLiteral("Upgrade program %1 runs without a job: %2").arg(native->pid).arg(lastError());
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
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
    if (!native->job)
        return false;   // started through the shell: the process alone is known
    followTree(native->tree, native->pid);
    if (!native->tree.empty())
        return true;
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting;
    ZeroMemory(&accounting, sizeof accounting);
    if (!QueryInformationJobObject(native->job, JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                   nullptr))
        return false;
    return accounting.ActiveProcesses > 0;
}

bool UpgradeProgram::belongs(Native *native, qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    // The started process itself: its id cannot pass to another process while
    // we hold its handle.
    if (DWORD(pid) == native->pid)
        return true;
    if (!native->job)
        return false;
    followTree(native->tree, native->pid);
    if (native->tree.count(DWORD(pid)))
        return true;
    // Windows asks IsProcessInJob for the limited query right; Wine for the full
    // one, which a process of the same user grants.
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return false;
    BOOL inJob = FALSE;
    const BOOL asked = IsProcessInJob(process, native->job, &inJob);
    CloseHandle(process);
    return asked && inJob;
}

qint64 UpgradeProgram::processId(const Native *native)
{
    return native ? qint64(native->pid) : 0;
}

QString UpgradeProgram::endOf(const Native *native)
{
    return native ? native->end : QString();
}
