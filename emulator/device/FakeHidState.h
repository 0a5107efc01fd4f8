#pragma once

#include "FakeHid.h"

#include <hidapi.h>

#include <cstdio>
#include <ios>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// hidapi's opaque device handle, as the stand-in hands it out.
struct hid_device_
{
    int index;
    unsigned generation;    // the reset() this handle belongs to
    hid_device_info *info;  // hid_get_device_info's answer, made on first request
};

// What the stand-in hidapi library knows, shared by its files: the devices, the
// recorded calls, the transcript and the control file. Made at the library's
// first call and configured from the environment then (FakeHid.h). Hold `mutex`
// (recursive) around every use.
struct FakeHidState
{
    struct Slot
    {
        Rt48px::EmulatedDevice device;
        bool present = true;
    };

    static FakeHidState &instance();

    // Adds a device (an empty path becomes FakeHid::defaultPath) and returns its index.
    int add(const Rt48px::DeviceConfig &config);
    // FakeHid::configure on this state.
    bool configure(const std::string &devices, const std::string &transcript, const std::string &control,
                   std::string *error);
    // Forgets devices, calls, handles and files; hid_init succeeds again.
    void reset();
    // Keeps `call` and appends its line to the transcript file, when there is one.
    void record(FakeHid::Call call);
    // Applies the whole lines added to the control file since the last time.
    void applyControl();
    // A control line "set [I] KEYS": the keys applied to device I, or to every
    // device; keys that do not parse are written to the transcript.
    void applySet(const std::string &arguments);
    // The slot behind a handle of this generation whose device is present; null
    // for anything else.
    Slot *slotOf(const hid_device *dev);
    // A new handle to device `index`, counted as open.
    hid_device *open(int index);
    // A call on a handle: the function, the handle's device (-1 for none), the
    // length passed and the bytes passed, where there are any.
    static FakeHid::Call handleCall(const char *function, const hid_device *dev, size_t length = 0,
                                    const unsigned char *data = nullptr);

    // hidapi's record of a device (calloc'ed, as hid_free_enumeration frees it),
    // and the release of a whole list of them (null is fine).
    static hid_device_info *makeInfo(const Rt48px::DeviceConfig &config);
    static void freeInfo(hid_device_info *devs);

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

private:
    FakeHidState();
    ~FakeHidState();
};
