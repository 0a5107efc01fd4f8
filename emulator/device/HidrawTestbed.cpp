#include "HidrawTestbed.h"

#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A vendor-defined collection with every feature report of the exchange. A
// HID class driver (Windows', Wine's) refuses a report whose id is not declared
// and sizes each report to its declared length: with the id byte, probe 0x01
// 64, its reply 0x81 33, select 0x82 29, status 0x02 6, information request
// 0x92 8, information 0x12 80, command 0xA2 8, confirmation 0x22 7.
const std::vector<unsigned char> kVendorDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
    0x85, 0x01, 0x95, 0x3F, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0x81, 0x95, 0x20, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0x82, 0x95, 0x1C, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0x02, 0x95, 0x05, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0x92, 0x95, 0x07, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0x12, 0x95, 0x4F, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0xA2, 0x95, 0x07, 0x09, 0x01, 0xB1, 0x02,
    0x85, 0x22, 0x95, 0x06, 0x09, 0x01, 0xB1, 0x02,
    0xC0};

// A three-button mouse.
const std::vector<unsigned char> kMouseDescriptor = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01,
    0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01,
    0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x81, 0x25, 0x7F,
    0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0};

const std::vector<unsigned char> &descriptorOf(const Rt48px::DeviceConfig &config)
{
    return config.kind == Rt48px::Kind::Mute ? kMouseDescriptor : kVendorDescriptor;
}

std::string narrow(const std::optional<std::wstring> &text)
{
    std::string out;
    if (text) {
        for (wchar_t c : *text)
            out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

std::string format(const char *pattern, ...) G_GNUC_PRINTF(1, 2);
std::string format(const char *pattern, ...)
{
    va_list args;
    va_start(args, pattern);
    gchar *text = g_strdup_vprintf(pattern, args);
    va_end(args);
    std::string result(text);
    g_free(text);
    return result;
}

// One plugged device as umockdev takes it: the udev records of the USB device,
// its interface, the HID device and the hidraw node, parents first (each
// record's parent must already be in the testbed), and the sysfs paths of the
// USB device (its removal removes the rest) and of the hidraw node.
struct SysfsRecords
{
    std::string text;
    std::string usbPath;
    std::string hidrawPath;
};

SysfsRecords sysfsRecords(const Rt48px::DeviceConfig &config, unsigned usb, unsigned hidraw)
{
    const std::string usbPath = format("/devices/pci0000:00/0000:00:14.0/usb1/1-%u", usb);
    const std::string interfacePath = usbPath + format("/1-%u:1.0", usb);
    const std::string hidPath = interfacePath + format("/0003:%04X:%04X.%04X", config.vendorId, config.productId, hidraw + 1);
    const std::string hidrawPath = hidPath + format("/hidraw/hidraw%u", hidraw);

    std::string descriptor;
    for (unsigned char byte : descriptorOf(config))
        descriptor += format("%02X", byte);

    std::string records;
    records += "P: " + usbPath + "\n";
    records += format("N: bus/usb/001/%03u\n", usb);
    records += format("E: DEVNAME=/dev/bus/usb/001/%03u\n", usb);
    records += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    // PRODUCT= as the kernel sets it on the USB device and its interfaces (where
    // Wine's HID bus takes the release number from).
    const std::string product = format("E: PRODUCT=%x/%x/%x\n", config.vendorId, config.productId, config.releaseNumber);
    records += product;
    records += format("A: idVendor=%04x\nA: idProduct=%04x\nA: bcdDevice=%04x\n", config.vendorId,
                      config.productId, config.releaseNumber);
    records += format("A: busnum=1\nA: devnum=%u\n", usb);
    if (config.manufacturer)
        records += "A: manufacturer=" + narrow(config.manufacturer) + "\n";
    if (config.product)
        records += "A: product=" + narrow(config.product) + "\n";
    if (config.serial)
        records += "A: serial=" + narrow(config.serial) + "\n";
    records += "\n";
    records += "P: " + interfacePath + "\n";
    records += "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n";
    records += product;
    records += format("A: bInterfaceNumber=%02x\nA: bInterfaceClass=03\n\n", config.interfaceNumber);
    records += "P: " + hidPath + "\n";
    records += "E: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n";
    records += format("E: HID_ID=0003:%08X:%08X\n", config.vendorId, config.productId);
    records += "E: HID_NAME=" + narrow(config.manufacturer) + " " + narrow(config.product) + "\n";
    records += "E: HID_UNIQ=" + narrow(config.serial) + "\n";
    records += "H: report_descriptor=" + descriptor + "\n\n";
    records += "P: " + hidrawPath + "\n";
    if (!config.openFails)   // no /dev node: opening it fails with ENOENT
        records += format("N: hidraw%u\n", hidraw);
    records += format("E: DEVNAME=/dev/hidraw%u\nE: SUBSYSTEM=hidraw\n", hidraw);
    records += format("E: MAJOR=241\nE: MINOR=%u\nA: dev=241:%u\n", hidraw, hidraw);
    return {records, usbPath, hidrawPath};
}

// False with `error` set from umockdev's `failure` (or naming `call` without one) when `ok` is not.
bool succeeded(gboolean ok, GError *&failure, const char *call, std::string &error)
{
    if (ok)
        return true;
    error = failure ? failure->message : std::string(call) + " failed";
    g_clear_error(&failure);
    return false;
}

// Ends an ioctl with `result` and, when it is negative, `error` as errno.
int complete(UMockdevIoctlClient *client, long result, int error)
{
    umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
    return TRUE;
}

}

HidrawTestbed::HidrawTestbed(std::vector<Rt48px::DeviceConfig> devices, std::FILE *transcript)
    : m_transcript(transcript)
{
    for (Rt48px::DeviceConfig &config : devices)
        m_devices.push_back({Rt48px::EmulatedDevice(std::move(config)), {}, {}});
    m_testbed = umockdev_testbed_new();
    m_handler = umockdev_ioctl_base_new();
    g_signal_connect(m_handler, "handle-ioctl", G_CALLBACK(&HidrawTestbed::onIoctl), this);
}

HidrawTestbed::~HidrawTestbed()
{
    for (const Node &node : m_nodes)
        umockdev_testbed_detach_ioctl(m_testbed, node.devnode.c_str(), nullptr);
    g_object_unref(m_handler);
    g_object_unref(m_testbed);
}

std::string HidrawTestbed::rootDir() const
{
    gchar *dir = umockdev_testbed_get_root_dir(m_testbed);
    std::string result(dir);
    g_free(dir);
    return result;
}

bool HidrawTestbed::plugAll(std::string &error)
{
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].devnode.empty() && !plug(i, error))
            return false;
    }
    return true;
}

bool HidrawTestbed::plug(size_t index, std::string &error)
{
    if (index >= m_devices.size() || !m_devices[index].devnode.empty()) {
        error = "no such unplugged device";
        return false;
    }
    Device &device = m_devices[index];
    const bool openable = !device.emulator.config().openFails;
    const unsigned hidraw = m_nextNode++;
    const SysfsRecords records = sysfsRecords(device.emulator.config(), m_nextUsb++, hidraw);
    const std::string devnode = format("/dev/hidraw%u", hidraw);
    GError *failure = nullptr;
    if (!succeeded(umockdev_testbed_add_from_string(m_testbed, records.text.c_str(), &failure), failure,
                   "umockdev_testbed_add_from_string", error)
        || (openable && !succeeded(umockdev_testbed_attach_ioctl(m_testbed, devnode.c_str(), m_handler, &failure),
                                   failure, "umockdev_testbed_attach_ioctl", error)))
        return false;
    device.emulator.reset();
    device.usbSysPath = "/sys" + records.usbPath;
    device.devnode = devnode;
    m_nodes.push_back({devnode, index, true});
    umockdev_testbed_uevent(m_testbed, ("/sys" + records.hidrawPath).c_str(), "add");
    return true;
}

bool HidrawTestbed::unplug(size_t index, bool keepNode)
{
    if (index >= m_devices.size() || m_devices[index].devnode.empty())
        return false;
    Device &device = m_devices[index];
    for (Node &node : m_nodes) {
        if (node.devnode == device.devnode)
            node.alive = false;
    }
    umockdev_testbed_uevent(m_testbed, device.usbSysPath.c_str(), "remove");
    umockdev_testbed_remove_device(m_testbed, device.usbSysPath.c_str());
    if (!keepNode) {
        // umockdev keeps the node (a link to its pty, and its bookkeeping entry)
        const std::string name = device.devnode.substr(device.devnode.rfind('/') + 1);
        ::unlink((rootDir() + device.devnode).c_str());
        ::unlink((rootDir() + "/dev/.node/" + name).c_str());
    }
    device.usbSysPath.clear();
    device.devnode.clear();
    return true;
}

bool HidrawTestbed::setKeys(size_t index, const std::string &keys, std::string &error)
{
    if (index != std::string::npos && index >= m_devices.size()) {
        error = "no such device";
        return false;
    }
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if ((index == std::string::npos || index == i)
            && !Rt48px::parseDeviceKeys(keys, m_devices[i].emulator.config(), error))
            return false;
    }
    return true;
}

int HidrawTestbed::onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *self)
{
    return static_cast<HidrawTestbed *>(self)->handleIoctl(client);
}

int HidrawTestbed::handleIoctl(UMockdevIoctlClient *client)
{
    const std::string devnode = umockdev_ioctl_client_get_devnode(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const auto node = std::find_if(m_nodes.begin(), m_nodes.end(),
                                   [&](const Node &candidate) { return candidate.devnode == devnode; });
    if (node == m_nodes.end() || !node->alive)
        return complete(client, -1, ENODEV);
    if (_IOC_TYPE(request) != 'H')
        return complete(client, -1, ENOTTY);

    const size_t size = _IOC_SIZE(request);
    GError *failure = nullptr;
    UMockdevIoctlData *data =
        size ? umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &failure) : nullptr;
    if (!data) {
        g_clear_error(&failure);
        return complete(client, -1, EFAULT);
    }
    int error = 0;
    const long result = answer(*node, request, data->data, size, error);
    g_object_unref(data);
    return complete(client, result, error);
}

long HidrawTestbed::answer(const Node &node, unsigned long request, unsigned char *data, size_t size, int &error)
{
    Rt48px::EmulatedDevice &emulator = m_devices[node.device].emulator;
    const std::vector<unsigned char> &descriptor = descriptorOf(emulator.config());
    if (request == HIDIOCGRDESCSIZE) {
        const int length = static_cast<int>(descriptor.size());
        std::memcpy(data, &length, sizeof length);
        return 0;
    }
    if (request == HIDIOCGRDESC) {
        auto *out = reinterpret_cast<hidraw_report_descriptor *>(data);
        const size_t length = std::min<size_t>(out->size, descriptor.size());
        std::memcpy(out->value, descriptor.data(), length);
        out->size = static_cast<__u32>(length);
        return 0;
    }
    if (request == HIDIOCGRAWINFO) {
        auto *info = reinterpret_cast<hidraw_devinfo *>(data);
        info->bustype = 3;   // BUS_USB
        info->vendor = static_cast<__s16>(emulator.config().vendorId);
        info->product = static_cast<__s16>(emulator.config().productId);
        return 0;
    }
    const unsigned nr = _IOC_NR(request);
    if (nr != 0x06 && nr != 0x07) {   // HIDIOCSFEATURE / HIDIOCGFEATURE, of any length
        error = EINVAL;
        return -1;
    }
    const std::vector<unsigned char> before(data, data + size);
    const bool send = nr == 0x06;
    const int result = send ? emulator.sendFeature(data, size) : emulator.getFeature(data, size);
    log(node.device, node.devnode, before.data(), size, result, send ? nullptr : data);
    error = EPIPE;
    return result;
}

void HidrawTestbed::log(size_t device, const std::string &devnode, const unsigned char *bytes, size_t length,
                        int result, const unsigned char *reply)
{
    if (!m_transcript)
        return;
    std::fputs((Rt48px::reportLine(static_cast<long>(device), devnode, reply == nullptr, bytes, length, result, reply) + '\n').c_str(),
               m_transcript);
    std::fflush(m_transcript);
}
