#include "FakeHid.h"

#include <hidapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>

// hidapi's opaque device handle, as the stand-in hands it out.
struct hid_device_
{
    int index;
    unsigned generation;   // the reset() this handle belongs to
};

namespace {

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

wchar_t *copyWide(const std::optional<std::wstring> &text)
{
    if (!text)
        return nullptr;
    auto *copy = static_cast<wchar_t *>(std::calloc(text->size() + 1, sizeof(wchar_t)));
    std::wmemcpy(copy, text->c_str(), text->size());
    return copy;
}

// The call's line in the transcript file (README.md): feature reports as the
// harness writes them, the other calls with what they were given and returned.
std::string transcriptLine(const FakeHid::Call &call)
{
    const bool send = call.function == "hid_send_feature_report";
    if (send || call.function == "hid_get_feature_report")
        return Rt48px::reportLine(call.device, call.path, send, call.bytes.data(), call.length, call.result,
                                  send ? nullptr : call.reply.data());
    char ids[16];
    std::snprintf(ids, sizeof ids, " %04x %04x", call.vendorId, call.productId);
    const std::string device = " device " + std::to_string(call.device);
    const std::string result = " result " + std::to_string(call.result);
    if (call.function == "hid_enumerate")
        return call.function + ids + " listed " + std::to_string(call.result);
    if (call.function == "hid_open_path")
        return call.function + device + ' ' + (call.path.empty() ? "-" : call.path) + result;
    if (call.function == "hid_close")
        return call.function + device;
    return call.function + (call.function == "hid_exit" ? "" : result);
}

// What the stand-in knows: the devices, the recorded calls, the transcript and
// the control file. Made at the library's first call and configured from the
// environment then. Hold `mutex` around every use.
struct State
{
    struct Slot
    {
        Rt48px::EmulatedDevice device;
        bool present = true;
    };

    State()
    {
        std::string error;
        if (!configure(environment("RT48PX_FAKEHID_DEVICES"), environment("RT48PX_FAKEHID_TRANSCRIPT"),
                       environment("RT48PX_FAKEHID_CONTROL"), &error))
            std::fprintf(stderr, "stand-in hidapi: RT48PX_FAKEHID_DEVICES: %s\n", error.c_str());
    }
    ~State() { reset(); }

    int add(Rt48px::DeviceConfig config)
    {
        if (config.path.empty())
            config.path = FakeHid::defaultPath(static_cast<int>(slots.size()));
        slots.push_back({Rt48px::EmulatedDevice(std::move(config))});
        return static_cast<int>(slots.size()) - 1;
    }

    bool configure(const std::string &devices, const std::string &transcriptPath, const std::string &control,
                   std::string *error)
    {
        if (!transcriptPath.empty() && !transcript)
            transcript = std::fopen(transcriptPath.c_str(), "ab");
        controlPath = control;
        controlRead = 0;
        std::istringstream list(devices);
        std::string keys;
        while (std::getline(list, keys, ';')) {
            Rt48px::DeviceConfig config;
            if (keys.find_first_not_of(" \t\r\n") == std::string::npos)
                continue;
            if (!Rt48px::parseDeviceKeys(keys, config, *error))
                return false;
            add(config);
        }
        return true;
    }

    void reset()
    {
        slots.clear();
        calls.clear();
        initResult = openHandles = liveEnumerations = 0;
        ++generation;
        if (transcript)
            std::fclose(transcript);
        transcript = nullptr;
        controlPath.clear();
    }

    void record(FakeHid::Call call)
    {
        if (transcript) {
            std::fputs((transcriptLine(call) + '\n').c_str(), transcript);
            std::fflush(transcript);
        }
        calls.push_back(std::move(call));
    }

    // Applies the whole lines "set [I] KEYS" added to the control file since the
    // last time; keys that do not parse are written to the transcript.
    void applyControl()
    {
        std::ifstream file(controlPath, std::ios::binary);
        if (controlPath.empty() || !file || !file.seekg(controlRead))
            return;
        std::string line, keys, error;
        long index = -1;
        // A last line without its line break is left for a later call.
        while (std::getline(file, line) && !file.eof()) {
            controlRead += static_cast<std::streamoff>(line.size()) + 1;
            if (line.compare(0, 4, "set ") != 0 || !Rt48px::parseSetArguments(line.substr(4), index, keys))
                continue;
            for (size_t i = 0; i < slots.size(); ++i) {
                if ((index < 0 || static_cast<size_t>(index) == i)
                    && !Rt48px::parseDeviceKeys(keys, slots[i].device.config(), error) && transcript)
                    std::fprintf(transcript, "control error: %s\n", error.c_str());
            }
        }
    }

    // The slot behind a handle of this generation whose device is present; null
    // for anything else.
    Slot *slotOf(const hid_device *dev)
    {
        if (!dev || dev->generation != generation || dev->index < 0 || dev->index >= static_cast<int>(slots.size()))
            return nullptr;
        Slot &slot = slots[static_cast<size_t>(dev->index)];
        return slot.present ? &slot : nullptr;
    }

    std::recursive_mutex mutex;
    std::deque<Slot> slots;   // references stay valid as devices are added
    std::vector<FakeHid::Call> calls;
    int initResult = 0;
    int openHandles = 0;
    int liveEnumerations = 0;
    unsigned generation = 0;
    std::FILE *transcript = nullptr;
    std::string controlPath;
    std::streamoff controlRead = 0;   // bytes of the control file already applied
};

State &instance()
{
    static State s;
    return s;
}

// The state, locked while this lives.
class Locked
{
public:
    State *operator->() { return &m_state; }

private:
    State &m_state = instance();
    std::lock_guard<std::recursive_mutex> m_lock{m_state.mutex};
};

// A call with the device of handle `dev` (-1 for none), the length and the bytes passed.
FakeHid::Call callOn(const char *function, const hid_device *dev, size_t length = 0,
                     const unsigned char *data = nullptr)
{
    FakeHid::Call call;
    call.function = function;
    call.device = dev ? dev->index : -1;
    call.length = length;
    if (data)
        call.bytes.assign(data, data + length);
    return call;
}

// A feature report either way, recorded with the device's path, the buffer as
// passed in and, for a read, as the device left it.
int featureReport(bool send, hid_device *dev, unsigned char *data, size_t length)
{
    Locked s;
    FakeHid::Call call = callOn(send ? "hid_send_feature_report" : "hid_get_feature_report", dev, length, data);
    State::Slot *slot = s->slotOf(dev);
    if (slot)
        call.path = slot->device.config().path;
    call.result = !slot ? -1 : send ? slot->device.sendFeature(data, length) : slot->device.getFeature(data, length);
    if (!send)
        call.reply.assign(data, data + length);
    s->record(call);
    return call.result;
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

}

namespace FakeHid {

void reset() { Locked s; s->reset(); }
int addDevice(const Rt48px::DeviceConfig &config) { Locked s; return s->add(config); }

bool configure(const std::string &devices, const std::string &transcript, const std::string &control,
               std::string *error)
{
    Locked s;
    return s->configure(devices, transcript, control, error);
}

Rt48px::EmulatedDevice &device(int index) { Locked s; return s->slots.at(static_cast<size_t>(index)).device; }

void setPresent(int index, bool present)
{
    Locked s;
    auto &slot = s->slots.at(static_cast<size_t>(index));
    if (present && !slot.present)
        slot.device.reset();
    slot.present = present;
}

void setInitResult(int result) { Locked s; s->initResult = result; }
std::vector<Call> transcript() { Locked s; return s->calls; }
void clearTranscript() { Locked s; s->calls.clear(); }

std::vector<Call> calls(const std::string &function)
{
    std::vector<Call> selected;
    for (Call &call : transcript()) {
        if (call.function == function)
            selected.push_back(std::move(call));
    }
    return selected;
}

int openHandles() { Locked s; return s->openHandles; }
int liveEnumerations() { Locked s; return s->liveEnumerations; }

bool initsBalanced()
{
    Locked s;
    int unmatched = 0;
    for (const Call &call : s->calls) {
        if (call.function == "hid_init")
            unmatched += call.result == 0 ? 1 : 0;
        else if (call.function == "hid_exit")
            --unmatched;
    }
    return unmatched == s->openHandles;
}

}

// hidapi's functions that the program calls (the rest: FakeHidOtherCalls.cpp), each recorded.
extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void)
{
    Locked s;
    FakeHid::Call call = callOn("hid_init", nullptr);
    call.result = s->initResult;
    s->record(call);
    return call.result;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void)
{
    Locked s;
    s->record(callOn("hid_exit", nullptr));
    return 0;
}

struct hid_device_info HID_API_EXPORT *HID_API_CALL hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    Locked s;
    s->applyControl();
    hid_device_info *head = nullptr;
    hid_device_info **tail = &head;
    FakeHid::Call call = callOn("hid_enumerate", nullptr);
    for (const State::Slot &slot : s->slots) {
        const Rt48px::DeviceConfig &config = slot.device.config();
        if (!slot.present || (vendor_id && vendor_id != config.vendorId)
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
        ++call.result;
    }
    call.vendorId = vendor_id;
    call.productId = product_id;
    s->record(call);
    if (head)
        ++s->liveEnumerations;
    return head;
}

void HID_API_EXPORT HID_API_CALL hid_free_enumeration(struct hid_device_info *devs)
{
    Locked s;
    FakeHid::Call call = callOn("hid_free_enumeration", nullptr);
    call.result = devs ? 1 : 0;
    s->record(call);
    if (devs)
        --s->liveEnumerations;
    freeInfo(devs);
}

HID_API_EXPORT hid_device *HID_API_CALL hid_open_path(const char *path)
{
    Locked s;
    FakeHid::Call call = callOn("hid_open_path", nullptr);
    if (path)
        call.path = path;
    hid_device *handle = nullptr;
    for (size_t i = 0; path && i < s->slots.size(); ++i) {
        const State::Slot &slot = s->slots[i];
        if (slot.device.config().path != path || !slot.present)   // a path is the present device's
            continue;
        call.device = static_cast<int>(i);
        if (!slot.device.config().openFails) {
            ++s->openHandles;
            handle = new hid_device{call.device, s->generation};
        }
        break;
    }
    call.result = handle ? 1 : 0;
    s->record(call);
    return handle;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device *dev)
{
    Locked s;
    s->record(callOn("hid_close", dev));
    if (dev && dev->generation == s->generation)
        --s->openHandles;
    delete dev;
}

int HID_API_EXPORT HID_API_CALL hid_send_feature_report(hid_device *dev, const unsigned char *data, size_t length)
{
    return featureReport(true, dev, const_cast<unsigned char *>(data), length);
}

int HID_API_EXPORT HID_API_CALL hid_get_feature_report(hid_device *dev, unsigned char *data, size_t length)
{
    return featureReport(false, dev, data, length);
}

}
