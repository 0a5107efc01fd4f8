// The rest of hidapi's functions: the program calls none of them, but a stand-in
// for the library must offer all of them (the Windows DLL's exports). They fail.
#include <hidapi.h>

extern "C" {

HID_API_EXPORT hid_device *HID_API_CALL hid_open(unsigned short, unsigned short, const wchar_t *) { return nullptr; }
int HID_API_EXPORT HID_API_CALL hid_write(hid_device *, const unsigned char *, size_t) { return -1; }
int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device *, unsigned char *, size_t, int) { return -1; }
int HID_API_EXPORT HID_API_CALL hid_read(hid_device *, unsigned char *, size_t) { return -1; }
int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device *, unsigned char *, size_t) { return -1; }
int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device *, int) { return -1; }
int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device *, wchar_t *, size_t) { return -1; }
int HID_API_EXPORT_CALL hid_get_product_string(hid_device *, wchar_t *, size_t) { return -1; }
int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device *, wchar_t *, size_t) { return -1; }
int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device *, int, wchar_t *, size_t) { return -1; }
struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_get_device_info(hid_device *) { return nullptr; }
HID_API_EXPORT const wchar_t *HID_API_CALL hid_error(hid_device *) { return L"emulated device error"; }
HID_API_EXPORT const char *HID_API_CALL hid_version_str(void) { return HID_API_VERSION_STR; }
HID_API_EXPORT const struct hid_api_version *HID_API_CALL hid_version(void)
{
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
    return &version;
}

}
