#include "FakeHid.h"

#include "FakeHidState.h"

using Lock = std::lock_guard<std::recursive_mutex>;

namespace FakeHid {

void reset()
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    s.reset();
}

int addDevice(const Rt48px::DeviceConfig &config)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    return s.add(config);
}

bool configure(const std::string &devices, const std::string &transcript, const std::string &control,
               std::string *error)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    return s.configure(devices, transcript, control, error);
}

Rt48px::EmulatedDevice &device(int index)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    return s.slots.at(static_cast<size_t>(index))->device;
}

void setPresent(int index, bool present)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHidState::Slot &slot = *s.slots.at(static_cast<size_t>(index));
    if (present && !slot.present)
        slot.device.reset();
    slot.present = present;
}

void setInitResult(int result)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    s.initResult = result;
}

std::vector<Call> transcript()
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    return s.calls;
}

void clearTranscript()
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    s.calls.clear();
}

std::vector<Call> calls(const std::string &function)
{
    std::vector<Call> selected;
    for (Call &call : transcript()) {
        if (call.function == function)
            selected.push_back(std::move(call));
    }
    return selected;
}

int openHandles()
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    return s.openHandles;
}

int liveEnumerations()
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    return s.liveEnumerations;
}

bool initsBalanced()
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    int unmatched = 0;
    for (const Call &call : s.calls) {
        if (call.function == "hid_init")
            unmatched += call.result == 0 ? 1 : 0;
        else if (call.function == "hid_exit")
            --unmatched;
    }
    return unmatched == s.openHandles;
}

}

namespace {

// A feature report either way, recorded with the device's path, the buffer as
// passed in and, for a read (`reply` set), as the device left it.
template <typename Exchange>
int featureReport(const char *function, hid_device *dev, const unsigned char *data, size_t length,
                  const unsigned char *reply, Exchange exchange)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call = FakeHidState::handleCall(function, dev, length, data);
    FakeHidState::Slot *slot = s.slotOf(dev);
    if (slot)
        call.path = slot->device.config().path;
    call.result = slot ? exchange(slot->device) : -1;
    if (reply)
        call.reply.assign(reply, reply + length);
    s.record(call);
    return call.result;
}

}

// hidapi's functions that the program calls (the rest: FakeHidOtherCalls.cpp).
extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_init";
    call.result = s.initResult;
    s.record(call);
    return call.result;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_exit";
    s.record(call);
    return 0;
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    s.applyControl();
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    int listed = 0;
    for (const auto &slot : s.slots) {
        const Rt48px::DeviceConfig &config = slot->device.config();
        if (!slot->present || (vendor_id && vendor_id != config.vendorId)
            || (product_id && product_id != config.productId))
            continue;
        hid_device_info *info = FakeHidState::makeInfo(config);
        *tail = info;
        tail = &info->next;
        ++listed;
    }
    FakeHid::Call call;
    call.function = "hid_enumerate";
    call.vendorId = vendor_id;
    call.productId = product_id;
    call.result = listed;
    s.record(call);
    if (head)
        ++s.liveEnumerations;
    return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info *devs)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_free_enumeration";
    call.result = devs ? 1 : 0;
    s.record(call);
    if (devs)
        --s.liveEnumerations;
    FakeHidState::freeInfo(devs);
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_open_path";
    if (path)
        call.path = path;
    hid_device *handle = nullptr;
    for (size_t i = 0; path && i < s.slots.size(); ++i) {
        const FakeHidState::Slot &slot = *s.slots[i];
        if (slot.device.config().path != path || !slot.present)   // a path is the present device's
            continue;
        call.device = static_cast<int>(i);
        if (!slot.device.config().openFails)
            handle = s.open(call.device);
        break;
    }
    call.result = handle ? 1 : 0;
    s.record(call);
    return handle;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device *dev)
{
    FakeHidState &s = FakeHidState::instance();
    Lock lock(s.mutex);
    s.record(FakeHidState::handleCall("hid_close", dev));
    if (dev && dev->generation == s.generation)
        --s.openHandles;
    if (dev)
        FakeHidState::freeInfo(dev->info);
    delete dev;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device *dev, const unsigned char *data, size_t length)
{
    return featureReport("hid_send_feature_report", dev, data, length, nullptr,
                         [&](Rt48px::EmulatedDevice &device) { return device.sendFeature(data, length); });
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device *dev, unsigned char *data, size_t length)
{
    return featureReport("hid_get_feature_report", dev, data, length, data,
                         [&](Rt48px::EmulatedDevice &device) { return device.getFeature(data, length); });
}

HID_API_EXPORT const wchar_t *HID_API_CALL hid_error(hid_device *)
{
    return L"emulated device error";
}

HID_API_EXPORT const char *HID_API_CALL hid_version_str(void)
{
    return HID_API_VERSION_STR;
}

HID_API_EXPORT const struct hid_api_version *HID_API_CALL hid_version(void)
{
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
    return &version;
}

}
