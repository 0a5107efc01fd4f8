#include "FakeHidState.h"

#include "FakeHidTranscript.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <sstream>

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
    wchar_t *copy = static_cast<wchar_t *>(std::calloc(text->size() + 1, sizeof(wchar_t)));
    std::wmemcpy(copy, text->c_str(), text->size());
    return copy;
}

}

FakeHidState &FakeHidState::instance()
{
    static FakeHidState s;
    return s;
}

FakeHidState::FakeHidState()
{
    std::string error;
    if (!configure(environment("RT48PX_FAKEHID_DEVICES"), environment("RT48PX_FAKEHID_TRANSCRIPT"),
                   environment("RT48PX_FAKEHID_CONTROL"), &error)) {
        std::fprintf(stderr, "stand-in hidapi: RT48PX_FAKEHID_DEVICES: %s\n", error.c_str());
        if (transcript)
            std::fprintf(transcript, "configuration error: %s\n", error.c_str());
    }
}

FakeHidState::~FakeHidState()
{
    if (transcript)
        std::fclose(transcript);
}

int FakeHidState::add(const Rt48px::DeviceConfig &config)
{
    auto slot = std::make_unique<Slot>();
    slot->device = Rt48px::EmulatedDevice(config);
    if (slot->device.config().path.empty())
        slot->device.config().path = FakeHid::defaultPath(static_cast<int>(slots.size()));
    slots.push_back(std::move(slot));
    return static_cast<int>(slots.size()) - 1;
}

bool FakeHidState::configure(const std::string &devices, const std::string &transcriptPath,
                             const std::string &control, std::string *error)
{
    if (!transcriptPath.empty() && !transcript)
        transcript = std::fopen(transcriptPath.c_str(), "ab");
    controlPath = control;
    controlRead = 0;
    std::istringstream list(devices);
    std::string keys;
    while (std::getline(list, keys, ';')) {
        if (keys.find_first_not_of(" \t\r\n") == std::string::npos)
            continue;
        Rt48px::DeviceConfig config;
        if (!Rt48px::parseDeviceKeys(keys, config, *error))
            return false;
        add(config);
    }
    return true;
}

void FakeHidState::reset()
{
    slots.clear();
    calls.clear();
    initResult = 0;
    openHandles = 0;
    liveEnumerations = 0;
    ++generation;
    if (transcript)
        std::fclose(transcript);
    transcript = nullptr;
    controlPath.clear();
    controlRead = 0;
}

void FakeHidState::record(FakeHid::Call call)
{
    if (transcript) {
        std::fputs((FakeHid::transcriptLine(call) + '\n').c_str(), transcript);
        std::fflush(transcript);
    }
    calls.push_back(std::move(call));
}

void FakeHidState::applyControl()
{
    if (controlPath.empty())
        return;
    std::ifstream file(controlPath, std::ios::binary);
    if (!file || !file.seekg(controlRead))
        return;
    std::string line;
    // A last line without its line break is left for a later call.
    while (std::getline(file, line) && !file.eof()) {
        controlRead += static_cast<std::streamoff>(line.size()) + 1;
        std::istringstream words(line);
        std::string action;
        int index = -1;
        words >> action;
        if (action == "set") {
            applySet(line.substr(line.find("set") + 3));
            continue;
        }
        words >> index;
        if (action != "unplug" && action != "plug" && action != "replug")
            continue;
        for (size_t i = 0; i < slots.size(); ++i) {
            if (index >= 0 && static_cast<size_t>(index) != i)
                continue;
            // Plugged in again, a device starts its exchange afresh.
            Slot &slot = *slots[i];
            if (action != "unplug" && (!slot.present || action == "replug"))
                slot.device.reset();
            slot.present = action != "unplug";
        }
    }
}

void FakeHidState::applySet(const std::string &arguments)
{
    long index = -1;
    std::string keys;
    std::string error;
    if (!Rt48px::parseSetArguments(arguments, index, keys))
        return;
    for (size_t i = 0; i < slots.size(); ++i) {
        if ((index < 0 || static_cast<size_t>(index) == i)
            && !Rt48px::parseDeviceKeys(keys, slots[i]->device.config(), error) && transcript)
            std::fprintf(transcript, "control error: %s\n", error.c_str());
    }
}

FakeHidState::Slot *FakeHidState::slotOf(const hid_device *dev)
{
    if (!dev || dev->generation != generation || dev->index < 0 || dev->index >= static_cast<int>(slots.size()))
        return nullptr;
    Slot *slot = slots[static_cast<size_t>(dev->index)].get();
    return slot->present ? slot : nullptr;
}

hid_device *FakeHidState::open(int index)
{
    ++openHandles;
    return new hid_device{index, generation, nullptr};
}

FakeHid::Call FakeHidState::handleCall(const char *function, const hid_device *dev, size_t length,
                                       const unsigned char *data)
{
    FakeHid::Call call;
    call.function = function;
    call.device = dev ? dev->index : -1;
    call.length = length;
    if (data)
        call.bytes.assign(data, data + length);
    return call;
}

hid_device_info *FakeHidState::makeInfo(const Rt48px::DeviceConfig &config)
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

void FakeHidState::freeInfo(hid_device_info *devs)
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
