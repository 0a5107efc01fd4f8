// The stand-in for the maker's upgrade program on Windows (see README.md): a
// program of its own with no DLL beside it, as it runs from the user's
// application-data folder; the facts of its start as Windows reports them, then
// StandIn.
#include "StandIn.h"
#include "WideText.h"

#include <windows.h>
#include <shellapi.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

namespace {

using WideText::utf8;
using WideText::wide;

std::vector<std::string> arguments()
{
    std::vector<std::string> list;
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; words && i < count; ++i)
        list.push_back(utf8(words[i]));
    LocalFree(words);
    return list;
}

std::string currentFolder()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    const DWORD length = GetCurrentDirectoryW(size, folder.data());
    return utf8(folder.c_str(), int(length));
}

// The kernel's name of the object behind a handle, e.g. "\Device\Null".
std::string objectName(HANDLE handle)
{
    using QueryObject = NTSTATUS(NTAPI *)(HANDLE, OBJECT_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<QueryObject>(
                           reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "NtQueryObject")))
                             : nullptr;
    if (!query)
        return {};
    std::vector<unsigned char> buffer(4096);
    ULONG used = 0;
    constexpr auto ObjectNameInformation = static_cast<OBJECT_INFORMATION_CLASS>(1);
    if (query(handle, ObjectNameInformation, buffer.data(), ULONG(buffer.size()), &used) != 0)
        return {};
    const auto *name = reinterpret_cast<const UNICODE_STRING *>(buffer.data());
    if (!name->Buffer || name->Length == 0)
        return {};
    return utf8(name->Buffer, int(name->Length / sizeof(wchar_t)));
}

// Where a standard handle leads: a file's path, the kernel's name of a device
// ("\Device\Null" for NUL), or "console", "pipe", "none".
std::string describeHandle(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return "none";
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode))
        return "console";
    wchar_t path[MAX_PATH * 2];
    const DWORD length = GetFinalPathNameByHandleW(handle, path, DWORD(std::size(path)), FILE_NAME_NORMALIZED);
    if (length > 0 && length < std::size(path))
        return utf8(path, int(length));
    const std::string name = objectName(handle);
    if (!name.empty())
        return name;
    switch (GetFileType(handle)) {
    case FILE_TYPE_PIPE:
        return "pipe";
    case FILE_TYPE_CHAR:
        return "character device";
    case FILE_TYPE_DISK:
        return "file";
    default:
        return "unknown";
    }
}

void noise(DWORD which, const char *text)
{
    DWORD written = 0;
    const HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE)
        WriteFile(handle, text, DWORD(std::strlen(text)), &written, nullptr);
}

}

int main()
{
    // Noise on both outputs: the tool must discard them.
    noise(STD_OUTPUT_HANDLE, UPGRADER_VARIANT " stand-in: started\r\n");
    noise(STD_ERROR_HANDLE, UPGRADER_VARIANT " stand-in: started\r\n");

    StandIn::Launch launch;
    launch.variant = UPGRADER_VARIANT;
    launch.arguments = arguments();
    launch.processId = GetCurrentProcessId();
    launch.folder = currentFolder();
    launch.output = describeHandle(STD_OUTPUT_HANDLE);
    launch.errors = describeHandle(STD_ERROR_HANDLE);
    launch.environment = [](const std::string &name) -> std::optional<std::string> {
        const wchar_t *value = _wgetenv(wide(name).c_str());
        if (!value)
            return std::nullopt;
        return utf8(value);
    };
    return StandIn::run(launch);
}
