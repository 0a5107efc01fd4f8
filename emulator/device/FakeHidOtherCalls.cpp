// The rest of hidapi's functions: the program calls none of them, but a stand-in
// for the library must offer all of them (the Windows DLL's exports). Each is
// recorded. The device has no input or output reports, so those calls fail.
#include "FakeHidState.h"

#include <algorithm>
#include <cwchar>
#include <optional>

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// A call on a report the device does not have: recorded, refused.
int refused(const char *function, hid_device *dev, const unsigned char *data, size_t length)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call = FakeHidState::handleCall(function, dev, length, data);
    call.result = -1;
    s.record(call);
    return -1;
}

// Copies one of the device's strings into `string` (at most maxlen characters,
// terminator included); -1 when the device or the string is missing (`which`
// null: a string the device does not have).
int deviceString(const char *function, hid_device *dev, std::optional<std::wstring> Rt48px::DeviceConfig::*which,
                 wchar_t *string, size_t maxlen)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call = FakeHidState::handleCall(function, dev, maxlen);
    const FakeHidState::Slot *slot = s.slotOf(dev);
    const std::optional<std::wstring> *text = slot && which ? &(slot->device.config().*which) : nullptr;
    call.result = text && *text && string && maxlen > 0 ? 0 : -1;
    if (call.result == 0) {
        const size_t count = std::min((*text)->size(), maxlen - 1);
        std::wmemcpy(string, (*text)->c_str(), count);
        string[count] = L'\0';
    }
    s.record(call);
    return call.result;
}

}

extern "C" {

HID_API_EXPORT hid_device *HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id,
                                                 const wchar_t *serial_number)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_open";
    call.vendorId = vendor_id;
    call.productId = product_id;
    hid_device *handle = nullptr;
    for (size_t i = 0; i < s.slots.size() && !handle; ++i) {
        const FakeHidState::Slot &slot = *s.slots[i];
        const Rt48px::DeviceConfig &config = slot.device.config();
        if (!slot.present || config.openFails || config.vendorId != vendor_id || config.productId != product_id
            || (serial_number && (!config.serial || *config.serial != serial_number)))
            continue;
        call.device = static_cast<int>(i);
        call.path = config.path;
        handle = s.open(call.device);
    }
    call.result = handle ? 1 : 0;
    s.record(call);
    return handle;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device *dev, const unsigned char *data, size_t length)
{
    return refused("hid_write", dev, data, length);
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device *dev, unsigned char *, size_t length, int)
{
    return refused("hid_read_timeout", dev, nullptr, length);
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device *dev, unsigned char *, size_t length)
{
    return refused("hid_read", dev, nullptr, length);
}

int HID_API_EXPORT HID_API_CALL hid_get_input_report(hid_device *dev, unsigned char *data, size_t length)
{
    return refused("hid_get_input_report", dev, data, length);
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device *dev, int)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call = FakeHidState::handleCall("hid_set_nonblocking", dev);
    call.result = s.slotOf(dev) ? 0 : -1;
    s.record(call);
    return call.result;
}

int HID_API_EXPORT_CALL hid_get_manufacturer_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return deviceString("hid_get_manufacturer_string", dev, &Rt48px::DeviceConfig::manufacturer, string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return deviceString("hid_get_product_string", dev, &Rt48px::DeviceConfig::product, string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_serial_number_string(hid_device *dev, wchar_t *string, size_t maxlen)
{
    return deviceString("hid_get_serial_number_string", dev, &Rt48px::DeviceConfig::serial, string, maxlen);
}

int HID_API_EXPORT_CALL hid_get_indexed_string(hid_device *dev, int, wchar_t *string, size_t maxlen)
{
    return deviceString("hid_get_indexed_string", dev, nullptr, string, maxlen);
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_get_device_info(hid_device *dev)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call = FakeHidState::handleCall("hid_get_device_info", dev);
    const FakeHidState::Slot *slot = s.slotOf(dev);
    if (slot && !dev->info)
        dev->info = FakeHidState::makeInfo(slot->device.config());   // owned by the handle, as in hidapi
    call.result = slot ? 1 : 0;
    s.record(call);
    return slot ? dev->info : nullptr;
}

}
