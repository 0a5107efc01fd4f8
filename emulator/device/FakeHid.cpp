#include "FakeHid.h"

#include "FakeHidTranscript.h"

#include <hidapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

struct hid_device_
{
    int index;
    unsigned generation;   // the reset() this handle belongs to
    hid_device_info *info; // hid_get_device_info's answer, made on first request
};

namespace {

struct Slot
{
    Rt48px::EmulatedDevice device;
    bool present = true;
};

struct State
{
    State();
    ~State()
    {
        if (transcript)
            std::fclose(transcript);
    }

    std::recursive_mutex mutex;
    std::vector<std::unique_ptr<Slot>> slots;
    std::vector<FakeHid::Call> calls;
    int initResult = 0;
    int openHandles = 0;
    int liveEnumerations = 0;
    unsigned generation = 0;
    std::FILE *transcript = nullptr;
    std::string controlPath;
    std::streamoff controlRead = 0;   // bytes of the control file already applied
};

State &state()
{
    static State s;
    return s;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

int addTo(State &s, const Rt48px::DeviceConfig &config)
{
    auto slot = std::make_unique<Slot>();
    slot->device = Rt48px::EmulatedDevice(config);
    if (slot->device.config().path.empty())
        slot->device.config().path = FakeHid::defaultPath(static_cast<int>(s.slots.size()));
    s.slots.push_back(std::move(slot));
    return static_cast<int>(s.slots.size()) - 1;
}

bool configureState(State &s, const std::string &devices, const std::string &transcript, const std::string &control,
                    std::string *error)
{
    if (!transcript.empty() && !s.transcript)
        s.transcript = std::fopen(transcript.c_str(), "ab");
    s.controlPath = control;
    s.controlRead = 0;
    std::istringstream list(devices);
    std::string keys;
    while (std::getline(list, keys, ';')) {
        if (keys.find_first_not_of(" \t\r\n") == std::string::npos)
            continue;
        Rt48px::DeviceConfig config;
        if (!Rt48px::parseDeviceKeys(keys, config, *error))
            return false;
        addTo(s, config);
    }
    return true;
}

State::State()
{
    std::string error;
    if (!configureState(*this, environment("RT48PX_FAKEHID_DEVICES"), environment("RT48PX_FAKEHID_TRANSCRIPT"),
                            environment("RT48PX_FAKEHID_CONTROL"), &error)) {
        std::fprintf(stderr, "stand-in hidapi: RT48PX_FAKEHID_DEVICES: %s\n", error.c_str());
        if (transcript)
            std::fprintf(transcript, "configuration error: %s\n", error.c_str());
    }
}

void record(FakeHid::Call call)
{
    State &s = state();
    if (s.transcript) {
        std::fputs((FakeHid::transcriptLine(call) + '\n').c_str(), s.transcript);
        std::fflush(s.transcript);
    }
    s.calls.push_back(std::move(call));
}

// Applies the whole lines added to the control file since the last call.
void applyControl(State &s)
{
    if (s.controlPath.empty())
        return;
    std::ifstream file(s.controlPath, std::ios::binary);
    if (!file || !file.seekg(s.controlRead))
        return;
    std::string line;
    while (std::getline(file, line) && !file.eof()) {
        s.controlRead += static_cast<std::streamoff>(line.size()) + 1;
        std::istringstream words(line);
        std::string action;
        int index = -1;
        words >> action >> index;
        if (action != "unplug" && action != "plug" && action != "replug")
            continue;
        for (size_t i = 0; i < s.slots.size(); ++i) {
            if (index >= 0 && static_cast<size_t>(index) != i)
                continue;
            // Plugged in again, a device starts its exchange afresh.
            Slot &slot = *s.slots[i];
            if (action != "unplug" && (!slot.present || action == "replug"))
                slot.device.reset();
            slot.present = action != "unplug";
        }
    }
}

void freeInfo(hid_device_info *devs)
{
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

wchar_t *copyWide(const std::optional<std::wstring> &text)
{
    if (!text)
        return nullptr;
    wchar_t *copy = static_cast<wchar_t *>(std::calloc(text->size() + 1, sizeof(wchar_t)));
    std::wmemcpy(copy, text->c_str(), text->size());
    return copy;
}

hid_device_info *makeInfo(const Rt48px::DeviceConfig &config)
{
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
    return info;
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

// A call on a device that has no such reports: recorded, refused.
int refused(const char *function, hid_device *dev, const unsigned char *data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = function;
    call.device = dev ? dev->index : -1;
    call.length = length;
    if (data)
        call.bytes.assign(data, data + length);
    call.result = -1;
    record(call);
    return -1;
}

// Copies one of the device's strings into `string` (at most maxlen characters,
// terminator included); -1 when the device or the string is missing (`which`
// null: a string the device does not have).
int deviceString(const char *function, hid_device *dev, std::optional<std::wstring> Rt48px::DeviceConfig::*which,
                        wchar_t *string, size_t maxlen)
{
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = function;
    call.device = dev ? dev->index : -1;
    call.length = maxlen;
    const Slot *slot = slotOf(dev);
    const std::optional<std::wstring> *text = slot && which ? &(slot->device.config().*which) : nullptr;
    call.result = text && *text && string && maxlen > 0 ? 0 : -1;
    if (call.result == 0) {
        const size_t count = std::min((*text)->size(), maxlen - 1);
        std::wmemcpy(string, (*text)->c_str(), count);
        string[count] = L'\0';
    }
    record(call);
    return call.result;
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
    if (s.transcript)
        std::fclose(s.transcript);
    s.transcript = nullptr;
    s.controlPath.clear();
    s.controlRead = 0;
}

int addDevice(const Rt48px::DeviceConfig &config)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    return addTo(s, config);
}

bool configure(const std::string &devices, const std::string &transcript, const std::string &control,
               std::string *error)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    return configureState(s, devices, transcript, control, error);
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
    applyControl(s);
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    int listed = 0;
    for (const auto &slot : s.slots) {
        const Rt48px::DeviceConfig &config = slot->device.config();
        if (!slot->present || (vendor_id && vendor_id != config.vendorId)
            || (product_id && product_id != config.productId))
            continue;
        hid_device_info *info = makeInfo(config);
        *tail = info;
        tail = &info->next;
        ++listed;
    }
    FakeHid::Call call;
    call.function = "hid_enumerate";
    call.vendorId = vendor_id;
    call.productId = product_id;
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
    freeInfo(devs);
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_open_path";
    if (path)
        call.path = path;
    hid_device *handle = nullptr;
    for (size_t i = 0; path && i < s.slots.size(); ++i) {
        const Slot &slot = *s.slots[i];
        if (slot.device.config().path != path)
            continue;
        call.device = static_cast<int>(i);
        if (slot.present && !slot.device.config().openFails) {
            handle = new hid_device{static_cast<int>(i), s.generation, nullptr};
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
    if (dev)
        freeInfo(dev->info);
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
    if (slot)
        call.path = slot->device.config().path;
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
    if (slot)
        call.path = slot->device.config().path;
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

HID_API_EXPORT const struct hid_api_version *HID_API_CALL hid_version(void)
{
    static const hid_api_version version{HID_API_VERSION_MAJOR, HID_API_VERSION_MINOR, HID_API_VERSION_PATCH};
    return &version;
}

// The rest of hidapi's functions: the program calls none of them, but a
// stand-in for the library must offer all of them. Each is recorded.

HID_API_EXPORT hid_device *HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id,
                                                 const wchar_t *serial_number)
{
    State &s = state();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    FakeHid::Call call;
    call.function = "hid_open";
    call.vendorId = vendor_id;
    call.productId = product_id;
    hid_device *handle = nullptr;
    for (size_t i = 0; i < s.slots.size() && !handle; ++i) {
        const Slot &slot = *s.slots[i];
        const Rt48px::DeviceConfig &config = slot.device.config();
        if (!slot.present || config.openFails || config.vendorId != vendor_id || config.productId != product_id
            || (serial_number && (!config.serial || *config.serial != serial_number)))
            continue;
        call.device = static_cast<int>(i);
        call.path = config.path;
        handle = new hid_device{static_cast<int>(i), s.generation, nullptr};
        ++s.openHandles;
    }
    call.result = handle ? 1 : 0;
    record(call);
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
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_set_nonblocking";
    call.device = dev ? dev->index : -1;
    call.result = slotOf(dev) ? 0 : -1;
    record(call);
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
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    FakeHid::Call call;
    call.function = "hid_get_device_info";
    call.device = dev ? dev->index : -1;
    const Slot *slot = slotOf(dev);
    if (slot && !dev->info)
        dev->info = makeInfo(slot->device.config());   // owned by the handle, as in hidapi
    call.result = slot ? 1 : 0;
    record(call);
    return slot ? dev->info : nullptr;
}

}
