// The stand-in for the maker's upgrade program on Windows (see README.md): a
// program of its own with no DLL beside it, as it runs from the user's
// application-data folder; the facts of its start as Windows reports them, then
// StandIn.
#include "StandIn.h"
#include "WideText.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
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

}

int main()
{
    StandIn::Launch launch;
    launch.variant = UPGRADER_VARIANT;
    launch.arguments = arguments();
    launch.processId = GetCurrentProcessId();
    launch.folder = currentFolder();
    launch.environment = [](const std::string &name) -> std::optional<std::string> {
        const wchar_t *value = _wgetenv(wide(name).c_str());
        if (!value)
            return std::nullopt;
        return utf8(value);
    };
    return StandIn::run(launch);
}
