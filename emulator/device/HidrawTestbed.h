#pragma once

#include "EmulatedDevice.h"

#include <cstdio>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;

// The emulated devices as hidraw nodes in a umockdev testbed: for each device a
// USB device, its interface, the HID device (HID_ID, HID_NAME, HID_UNIQ, report
// descriptor) and a /dev/hidrawN node whose ioctls (HIDIOCGRDESCSIZE,
// HIDIOCGRDESC, HIDIOCGRAWINFO, HIDIOCSFEATURE, HIDIOCGFEATURE) the emulator
// answers. The process must run under umockdev-wrapper, and the ioctls are
// answered from the thread-default GLib main context of the constructing thread,
// so that context's loop must run while clients talk to the devices.
class HidrawTestbed
{
public:
    // Creates the testbed (which sets UMOCKDEV_DIR for children). `transcript`
    // (may be null) receives one line per report exchanged.
    HidrawTestbed(std::vector<Rt48px::DeviceConfig> devices, std::FILE *transcript);
    ~HidrawTestbed();
    HidrawTestbed(const HidrawTestbed &) = delete;
    HidrawTestbed &operator=(const HidrawTestbed &) = delete;

    // Where report lines go from now on (null: nowhere).
    void setTranscript(std::FILE *transcript) { m_transcript = transcript; }

    // The testbed's root folder (UMOCKDEV_DIR).
    std::string rootDir() const;

    // Plugs every device in. Returns false with `error` set when umockdev
    // refused a device.
    bool plugAll(std::string &error);
    // Device `index` disappears: its /dev node and sysfs entries are removed, as
    // the kernel does, and handles still open to it fail every ioctl (ENODEV).
    // With `keepNode` the /dev node lingers (it opens, its ioctls fail), as
    // between a real unplug and the node's removal. Returns false for an unknown
    // or absent device.
    bool unplug(size_t index, bool keepNode = false);
    // Device `index` comes back as a NEW hidraw node with a fresh exchange state.
    // Returns false for an unknown or present device, or when umockdev refused.
    bool plug(size_t index, std::string &error);

    // Applies device keys (Rt48px::parseDeviceKeys, e.g. "firmware=V1R1107") to
    // device `index`, or to every device when index == npos; what the device
    // answers changes from its next report on. Returns false with `error` set
    // for an unknown device or keys that do not parse.
    bool setKeys(size_t index, const std::string &keys, std::string &error);

    size_t deviceCount() const { return m_devices.size(); }

private:
    struct Node
    {
        std::string devnode;    // "/dev/hidraw3"
        size_t device;
        bool alive;
    };
    struct Device
    {
        Rt48px::EmulatedDevice emulator;
        std::string usbSysPath; // empty while unplugged
        std::string devnode;
    };

    static int onIoctl(UMockdevIoctlBase *handler, UMockdevIoctlClient *client, void *self);
    int handleIoctl(UMockdevIoctlClient *client);
    // One hidraw ioctl on a live node with its argument resolved: the result,
    // with `error` the errno that goes with a negative one.
    long answer(const Node &node, unsigned long request, unsigned char *data, size_t size, int &error);
    // One line of the transcript: a send when `reply` is null.
    void log(size_t device, const std::string &devnode, const unsigned char *bytes, size_t length, int result,
             const unsigned char *reply);

    UMockdevTestbed *m_testbed = nullptr;
    UMockdevIoctlBase *m_handler = nullptr;
    std::vector<Device> m_devices;
    std::vector<Node> m_nodes;
    std::FILE *m_transcript;
    unsigned m_nextNode = 0;   // hidraw numbers are never reused
    unsigned m_nextUsb = 2;
};
