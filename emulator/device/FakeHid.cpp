#include "FakeHid.h"

#include <hidapi.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>

struct hid_device_
{
    int index;
    unsigned generation;   // the reset() this handle belongs to
};

namespace {

struct Slot
{
    Rt48px::EmulatedDevice device;
    bool present = true;
};

struct State
{
    std::recursive_mutex mutex;
    std::vector<std::unique_ptr<Slot>> slots;
    std::vector<FakeHid::Call> calls;
    int initResult = 0;
    int openHandles = 0;
    int liveEnumerations = 0;
    unsigned generation = 0;
};

State &state()
{
    static State s;
    return s;
}

void record(FakeHid::Call call)
{
    state().calls.push_back(std::move(call));
}

wchar_t *copyWide(const std::optional<std::wstring> &text)
{
    if (!text)
        return nullptr;
    wchar_t *copy = static_cast<wchar_t *>(std::calloc(text->size() + 1, sizeof(wchar_t)));
    std::wmemcpy(copy, text->c_str(), text->size());
    return copy;
}

Slot *slotOf(hid_device *dev)
{
    State &s = state();
    if (!dev || dev->generation != s.generation || dev->index < 0
        || dev->index >= static_cast<int>(s.slots.size()))
        return nullptr;
    Slot *slot = s.slots[static_cast<size_t>(dev->index)].get();
    return slot->present ? slot : nullptr;
}

}

namespace FakeHid {

void reset()
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    s.slots.clear();
    s.calls.clear();
    s.initResult = 0;
    s.openHandles = 0;
    s.liveEnumerations = 0;
    ++s.generation;
}

int addDevice(const Rt48px::DeviceConfig &config)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    auto slot = std::make_unique<Slot>();
    slot->device = Rt48px::EmulatedDevice(config);
    if (slot->device.config().path.empty())
        slot->device.config().path = "/fake/hidraw" + std::to_string(s.slots.size());
    s.slots.push_back(std::move(slot));
    return static_cast<int>(s.slots.size()) - 1;
}

int deviceCount()
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    return static_cast<int>(state().slots.size());
}

Rt48px::EmulatedDevice &device(int index)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    return state().slots.at(static_cast<size_t>(index))->device;
}

void setPresent(int index, bool present)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    Slot &slot = *state().slots.at(static_cast<size_t>(index));
    if (present && !slot.present)
        slot.device.reset();
    slot.present = present;
}

void setInitResult(int result)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    state().initResult = result;
}

std::vector<Call> transcript()
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    return state().calls;
}

void clearTranscript()
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    state().calls.clear();
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
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    return state().openHandles;
}

int liveEnumerations()
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    return state().liveEnumerations;
}

std::string describe(const Call &call)
{
    std::string text = call.function + " device=" + std::to_string(call.device)
        + " length=" + std::to_string(call.length) + " result=" + std::to_string(call.result);
    if (!call.bytes.empty())
        text += " bytes=" + Rt48px::hex(call.bytes.data(), std::min<size_t>(call.bytes.size(), 40));
    if (!call.reply.empty())
        text += " reply=" + Rt48px::hex(call.reply.data(), std::min<size_t>(call.reply.size(), 40));
    return text;
}

}

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_init";
    call.result = state().initResult;
    record(call);
    return call.result;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_exit";
    record(call);
    return 0;
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    int listed = 0;
    for (const auto &slot : s.slots) {
        const Rt48px::DeviceConfig &config = slot->device.config();
        if (!slot->present || (vendor_id && vendor_id != config.vendorId)
            || (product_id && product_id != config.productId))
            continue;
        auto *info = static_cast<hid_device_info *>(std::calloc(1, sizeof(hid_device_info)));
        info->path = strdup(config.path.c_str());
        info->vendor_id = config.vendorId;
        info->product_id = config.productId;
        info->serial_number = copyWide(config.serial);
        info->release_number = config.releaseNumber;
        info->manufacturer_string = copyWide(config.manufacturer);
        info->product_string = copyWide(config.product);
        info->interface_number = config.interfaceNumber;
        info->bus_type = HID_API_BUS_USB;
        *tail = info;
        tail = &info->next;
        ++listed;
    }
    FakeHid::Call call;
    call.function = "hid_enumerate";
    call.result = listed;
    record(call);
    if (head)
        ++s.liveEnumerations;
    return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info *devs)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_free_enumeration";
    call.result = devs ? 1 : 0;
    record(call);
    if (devs)
        --state().liveEnumerations;
    while (devs) {
        hid_device_info *next = devs->next;
        std::free(devs->path);
        std::free(devs->serial_number);
        std::free(devs->manufacturer_string);
        std::free(devs->product_string);
        std::free(devs);
        devs = next;
    }
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_open_path";
    hid_device *handle = nullptr;
    for (size_t i = 0; path && i < s.slots.size(); ++i) {
        const Slot &slot = *s.slots[i];
        if (slot.device.config().path != path)
            continue;
        call.device = static_cast<int>(i);
        if (slot.present && !slot.device.config().openFails) {
            handle = new hid_device{static_cast<int>(i), s.generation};
            ++s.openHandles;
        }
        break;
    }
    call.result = handle ? 1 : 0;
    record(call);
    return handle;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device *dev)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_close";
    call.device = dev ? dev->index : -1;
    record(call);
    if (dev && dev->generation == s.generation)
        --s.openHandles;
    delete dev;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device *dev, const unsigned char *data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_send_feature_report";
    call.device = dev ? dev->index : -1;
    call.length = length;
    if (data)
        call.bytes.assign(data, data + length);
    Slot *slot = slotOf(dev);
    call.result = slot ? slot->device.sendFeature(data, length) : -1;
    record(call);
    return call.result;
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device *dev, unsigned char *data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_get_feature_report";
    call.device = dev ? dev->index : -1;
    call.length = length;
    if (data)
        call.bytes.assign(data, data + length);
    Slot *slot = slotOf(dev);
    call.result = slot ? slot->device.getFeature(data, length) : -1;
    if (data)
        call.reply.assign(data, data + length);
    record(call);
    return call.result;
}

HID_API_EXPORT const wchar_t *HID_API_CALL hid_error(hid_device *)
{
    return L"emulated device error";
}

HID_API_EXPORT const char *HID_API_CALL hid_version_str(void)
{
    return HID_API_VERSION_STR;
}

}
