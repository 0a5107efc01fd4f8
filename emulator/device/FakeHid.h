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
//
// Built as a DLL under hidapi's own name (libhidapi.dll, see README.md), it can
// only be told from outside: at its first call it takes configure()'s three
// texts from the environment variables RT48PX_FAKEHID_DEVICES,
// RT48PX_FAKEHID_TRANSCRIPT and RT48PX_FAKEHID_CONTROL.
namespace FakeHid {

struct Call
{
    std::string function;              // "hid_init", "hid_send_feature_report", ...
    int device = -1;                   // index of the device concerned, -1 for none
    std::vector<unsigned char> bytes;  // sends: the bytes passed; reads: the buffer as passed in
    std::vector<unsigned char> reply;  // reads: the buffer after the call
    size_t length = 0;                 // the length passed
    std::string path;                  // hid_open_path: the path asked for; reports: the device's path
    unsigned short vendorId = 0;       // hid_enumerate, hid_open: the ids asked for
    unsigned short productId = 0;
    int result = 0;                    // the result; hid_open_path: 1 handle, 0 null;
                                       // hid_enumerate: devices listed; hid_free_enumeration: 1 non-null
};

// Forgets every device, handle and recorded call; hid_init succeeds again.
// Handles still open become invalid: close none of them after a reset.
void reset();

// Adds a device and returns its index. An empty config.path becomes
// defaultPath(index).
int addDevice(const Rt48px::DeviceConfig &config = {});
// "/fake/hidraw<index>"; on Windows a HID interface path of the form hidapi
// reports there ("\\?\hid#vid_f0e1&pid_0048#...#{4d1e55b2-...}").
std::string defaultPath(int index);

// Configures from texts, as the DLL does from its environment variables:
//   devices     devices separated by ";", each in device keys (Rt48px::parseDeviceKeys)
//   transcript  a file every later call is appended to, one line each
//               (README.md); empty: none
//   control     a file of lines "set [I] KEYS" (device keys such as
//               firmware=V1R1107 for device I, or all without I), read at every
//               hid_enumerate from where the last read stopped; empty: none
// Adds the devices after those already there. Returns false with `error` set
// when a device text does not parse; the devices before it are added.
bool configure(const std::string &devices, const std::string &transcript, const std::string &control,
               std::string *error);

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
// Whether hid_init and hid_exit keep step: every successful hid_init has met a
// hid_exit but for one per handle still open.
bool initsBalanced();

}
