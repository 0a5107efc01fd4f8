// hid-devices TEXT...: waits until every TEXT (e.g. "vid_f0e1&pid_0048") is in
// the path of a present HID device interface that SetupDi lists (Wine's HID
// stack brings a device up a few seconds after the session starts), at most a
// minute, and prints the paths, one a line.
// Exit code: 0 when they came, 1 when not in time, 2 for a wrong command line.
#include <windows.h>

#include <setupapi.h>
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> hidInterfaces()
{
    GUID guid;
    HidD_GetHidGuid(&guid);
    std::vector<std::wstring> paths;
    HDEVINFO set = SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return paths;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data); ++i) {
        DWORD needed = 0;
        SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &needed, nullptr);
        std::vector<BYTE> bytes(needed + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
        auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(bytes.data());
        detail->cbSize = sizeof *detail;
        if (needed && SetupDiGetDeviceInterfaceDetailW(set, &data, detail, needed, nullptr, nullptr))
            paths.push_back(detail->DevicePath);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

}

int main(int argc, char *argv[])
{
    if (argc < 2)
        return 2;
    const auto allListed = [&](const std::vector<std::wstring> &paths) {
        for (int i = 1; i < argc; ++i) {
            const std::wstring text(argv[i], argv[i] + std::strlen(argv[i]));
            if (std::none_of(paths.begin(), paths.end(),
                             [&](const std::wstring &path) { return path.find(text) != std::wstring::npos; }))
                return false;
        }
        return true;
    };
    std::vector<std::wstring> paths;
    for (const DWORD deadline = GetTickCount() + 60000; !allListed(paths = hidInterfaces()) && static_cast<LONG>(deadline - GetTickCount()) > 0;)
        Sleep(200);
    for (const std::wstring &path : paths)
        std::printf("%ls\n", path.c_str());
    return allListed(paths) ? 0 : 1;
}
