// What only the Windows build of the stand-in hidapi library has: Windows-style
// device paths and hidapi's one Windows-only function.
#include "FakeHid.h"

#include <hidapi_winapi.h>

#include <cstdio>

std::string FakeHid::defaultPath(int index)
{
    // The form of the interface paths hidapi reports on Windows, with an instance
    // part of the device's own; the "#" matter to the program (it keeps the text
    // before the third one).
    char path[128];
    std::snprintf(path, sizeof path, "\\\\?\\hid#vid_f0e1&pid_0048#7&1a2b3c%02x&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  index & 0xff);
    return path;
}

// Emulated devices have no container: the call fails, as for a device the system could not place.
extern "C" int HID_API_EXPORT_CALL hid_winapi_get_container_id(hid_device *, GUID *) { return -1; }
