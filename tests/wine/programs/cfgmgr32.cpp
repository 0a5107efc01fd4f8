// cfgmgr32.dll for the Wine tests: Wine 8.0's configuration manager with the
// three calls that hidapi's Windows backend needs and Wine lacks or stubs,
// made over SetupDi. Every other export is forwarded to setupapi, which has
// them all, as Wine's own cfgmgr32 forwards many (cfgmgr32.def). Put beside
// upvane.exe in a test's copy of the program folder, with
// WINEDLLOVERRIDES=cfgmgr32=n; never installed.
#define _CFGMGR32_   // these calls are defined here, not imported
#include <windows.h>

#include <cfgmgr32.h>
#include <devpropdef.h>
#include <setupapi.h>

#include <string>
#include <vector>

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_PropertyW(LPCWSTR path, const DEVPROPKEY *key,
                                                              DEVPROPTYPE *type, PBYTE buffer, PULONG size,
                                                              ULONG flags);

namespace {

// DEVPKEY_Device_InstanceId: what hidapi asks an interface for.
const DEVPROPKEY kInstanceIdKey = {{0x78c34fc8, 0x104a, 0x4aca, {0x9e, 0xa4, 0x52, 0x4d, 0x52, 0x99, 0x6e, 0x57}}, 256};

// The path of the interface `data` of `set`, and its device into `device`
// (unless null); empty when SetupDi does not say.
std::wstring interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA &data, SP_DEVINFO_DATA *device)
{
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &needed, nullptr);
    std::vector<BYTE> bytes(needed + sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W *>(bytes.data());
    detail->cbSize = sizeof *detail;
    if (!needed || !SetupDiGetDeviceInterfaceDetailW(set, &data, detail, needed, nullptr, device))
        return {};
    return detail->DevicePath;
}

// The paths of the device interfaces of `guid` (of the device `deviceId` only,
// when given), each followed by a 0, and a final 0.
std::wstring interfaceList(const GUID *guid, const wchar_t *deviceId, ULONG flags)
{
    std::wstring list;
    const DWORD present = (flags & CM_GET_DEVICE_INTERFACE_LIST_ALL_DEVICES) ? 0 : DIGCF_PRESENT;
    HDEVINFO set = SetupDiGetClassDevsW(guid, deviceId && *deviceId ? deviceId : nullptr, nullptr,
                                        DIGCF_DEVICEINTERFACE | present);
    if (set == INVALID_HANDLE_VALUE)
        return std::wstring(1, L'\0');
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, guid, i, &data); ++i) {
        const std::wstring path = interfacePath(set, data, nullptr);
        if (!path.empty())
            list += path + L'\0';
    }
    SetupDiDestroyDeviceInfoList(set);
    list += L'\0';
    return list;
}

// `value` (of `valueSize` bytes) into the caller's buffer as a property of `valueType`.
CONFIGRET giveProperty(DEVPROPTYPE valueType, const void *value, ULONG valueSize, DEVPROPTYPE *type, PBYTE buffer,
                       PULONG size)
{
    const ULONG room = *size;
    *type = valueType;
    *size = valueSize;
    if (!buffer || room < valueSize)
        return CR_BUFFER_SMALL;
    memcpy(buffer, value, valueSize);
    return CR_SUCCESS;
}

}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_List_SizeW(PULONG length, LPGUID guid, DEVINSTID_W deviceId,
                                                               ULONG flags)
{
    *length = static_cast<ULONG>(interfaceList(guid, deviceId, flags).size());
    return CR_SUCCESS;
}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_ListW(LPGUID guid, DEVINSTID_W deviceId, PWCHAR buffer,
                                                          ULONG length, ULONG flags)
{
    const std::wstring list = interfaceList(guid, deviceId, flags);
    if (list.size() > length)
        return CR_BUFFER_SMALL;
    memcpy(buffer, list.data(), list.size() * sizeof(wchar_t));
    return CR_SUCCESS;
}

extern "C" CONFIGRET WINAPI CM_Get_Device_Interface_PropertyW(LPCWSTR path, const DEVPROPKEY *key,
                                                              DEVPROPTYPE *type, PBYTE buffer, PULONG size,
                                                              ULONG)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return CR_FAILURE;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    CONFIGRET result = CR_NO_SUCH_DEVICE_INTERFACE;
    if (SetupDiOpenDeviceInterfaceW(set, path, 0, &data) && !interfacePath(set, data, &device).empty()) {
        if (IsEqualDevPropKey(*key, kInstanceIdKey)) {
            wchar_t id[MAX_DEVICE_ID_LEN];
            result = SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr)
                ? giveProperty(DEVPROP_TYPE_STRING, id, static_cast<ULONG>((wcslen(id) + 1) * sizeof(wchar_t)), type,
                               buffer, size)
                : CR_FAILURE;
        } else {
            DWORD needed = 0;
            DEVPROPTYPE valueType = 0;
            SetupDiGetDevicePropertyW(set, &device, key, &valueType, nullptr, 0, &needed, 0);
            std::vector<BYTE> value(needed);
            result = needed && SetupDiGetDevicePropertyW(set, &device, key, &valueType, value.data(), needed, nullptr, 0)
                ? giveProperty(valueType, value.data(), needed, type, buffer, size)
                : CR_NO_SUCH_VALUE;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}
