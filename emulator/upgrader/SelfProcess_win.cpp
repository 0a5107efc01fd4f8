#include "SelfProcess.h"

#include "WideText.h"

#include <windows.h>

void SelfProcess::crash()
{
    // The exit status an access violation leaves behind.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(0xC0000005));
    ExitProcess(1);   // not reached
}

long long SelfProcess::startCopy(const std::vector<std::string> &, const std::string &variable,
                                 const std::string &value)
{
    wchar_t self[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    if (length == 0 || length >= MAX_PATH * 2)
        return -1;
    if (!SetEnvironmentVariableW(WideText::wide(variable).c_str(), WideText::wide(value).c_str()))
        return -1;
    // The same command line as ours: the arguments exactly as we were given them.
    std::wstring commandLine = GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long long>(process.dwProcessId);
}
