#pragma once

#include "EmulatedDevice.h"

#include <cstddef>
#include <string>
#include <vector>

// The stand-in hidapi library (target rt48px_fakehidapi). It exports hidapi's C
// functions with their exact signatures from <hidapi.h>, answers them from
// emulated devices and records every call, so a test links it in place of the
// real hidapi and asserts on the exact packets and on what was opened and closed:
//
//     FakeHid::reset();
//     FakeHid::addDevice({});                       // an RT48PX with default versions
//     Rt48px::DeviceConfig mouse;
//     mouse.kind = Rt48px::Kind::Mute;
//     FakeHid::addDevice(mouse);
//     ... run the code under test ...
//     for (const FakeHid::Call &call : FakeHid::transcript()) ...
//
// hid_enumerate lists the present devices in the order they were added. Every
// function is safe to call from any thread; calls are recorded in call order.
namespace FakeHid {

struct Call
{
    std::string function;              // "hid_init", "hid_send_feature_report", ...
    int device = -1;                   // index of the device concerned, -1 for none
    std::vector<unsigned char> bytes;  // sends: the bytes passed; reads: the buffer as passed in
    std::vector<unsigned char> reply;  // reads: the buffer after the call
    size_t length = 0;                 // the length passed
    int result = 0;                    // the result; hid_open_path: 1 handle, 0 null;
                                       // hid_enumerate: devices listed; hid_free_enumeration: 1 non-null
};

// Forgets every device, handle and recorded call; hid_init succeeds again.
// Handles still open become invalid: close none of them after a reset.
void reset();

// Adds a device and returns its index. An empty config.path becomes
// "/fake/hidraw<index>".
int addDevice(const Rt48px::DeviceConfig &config = {});
int deviceCount();
// The device behind `index` (configure it, read what it received).
Rt48px::EmulatedDevice &device(int index);
// An absent device is not listed and cannot be opened; reports on handles
// still open to it fail (-1). Coming back resets its exchange.
void setPresent(int index, bool present);
// What hid_init returns from now on (0 = success).
void setInitResult(int result);

std::vector<Call> transcript();
void clearTranscript();
// The calls of one function, in order.
std::vector<Call> calls(const std::string &function);

// Handles opened and not yet closed; enumerations returned and not yet freed.
int openHandles();
int liveEnumerations();

// One line per call, bytes as hex: for failure messages.
std::string describe(const Call &call);

}
