// rt48px-hidraw: runs a command with emulated RT48PX (and other HID) devices
// presented as hidraw nodes to the unmodified hidapi-hidraw library. For each
// device a umockdev testbed holds a USB device, its interface, the HID device and
// a /dev/hidrawN node whose ioctls the emulator answers from this process's GLib
// main loop; the process must run under umockdev-wrapper.
#include "EmulatedDevice.h"

#include <glib-unix.h>
#include <glib.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kUsage[] = R"(Usage: umockdev-wrapper rt48px-hidraw [--device KEYS]... [--transcript FILE] [--control FIFO] -- COMMAND...

Runs COMMAND with emulated HID devices as hidraw nodes for the unmodified
hidapi-hidraw; exits with its exit code, 2 on a usage error.
Device keys, the transcript and the control FIFO's commands: emulator/device/README.md.
)";

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
    for (wchar_t c : text.value_or(std::wstring()))
        out += c < 0x80 ? static_cast<char>(c) : '?';
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

// The udev records of one plugged device as umockdev takes them, parents first:
// the USB device (sysfs path `usbPath`; its removal removes the rest), its
// interface, the HID device and the hidraw node (`hidrawPath`).
std::string sysfsRecords(const Rt48px::DeviceConfig &config, unsigned usb, unsigned hidraw, std::string &usbPath,
                         std::string &hidrawPath)
{
    usbPath = format("/devices/pci0000:00/0000:00:14.0/usb1/1-%u", usb);
    const std::string interfacePath = usbPath + format("/1-%u:1.0", usb);
    const std::string hidPath = interfacePath + format("/0003:%04X:%04X.%04X", config.vendorId, config.productId, hidraw + 1);
    hidrawPath = hidPath + format("/hidraw/hidraw%u", hidraw);
    std::string descriptor;
    for (unsigned char byte : descriptorOf(config))
        descriptor += format("%02X", byte);
    // PRODUCT= as the kernel sets it on the USB device and its interfaces (where
    // Wine's HID bus takes the release number from).
    const std::string product = format("E: PRODUCT=%x/%x/%x\n", config.vendorId, config.productId, config.releaseNumber);
    std::string records = "P: " + usbPath + "\n"
        + format("N: bus/usb/001/%03u\nE: DEVNAME=/dev/bus/usb/001/%03u\n", usb, usb)
        + "E: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n" + product
        + format("A: idVendor=%04x\nA: idProduct=%04x\nA: bcdDevice=%04x\nA: busnum=1\nA: devnum=%u\n",
                 config.vendorId, config.productId, config.releaseNumber, usb);
    const std::pair<const char *, const std::optional<std::wstring> *> strings[] = {
        {"manufacturer", &config.manufacturer}, {"product", &config.product}, {"serial", &config.serial}};
    for (const auto &[name, text] : strings) {
        if (*text)
            records += std::string("A: ") + name + "=" + narrow(*text) + "\n";
    }
    records += "\nP: " + interfacePath + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n" + product
        + format("A: bInterfaceNumber=%02x\nA: bInterfaceClass=03\n\n", config.interfaceNumber)
        + "P: " + hidPath + "\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n"
        + format("E: HID_ID=0003:%08X:%08X\n", config.vendorId, config.productId)
        + "E: HID_NAME=" + narrow(config.manufacturer) + " " + narrow(config.product) + "\n"
        + "E: HID_UNIQ=" + narrow(config.serial) + "\nH: report_descriptor=" + descriptor + "\n\n"
        + "P: " + hidrawPath + "\n"
        + (config.openFails ? "" : format("N: hidraw%u\n", hidraw))   // no /dev node: open() fails with ENOENT
        + format("E: DEVNAME=/dev/hidraw%u\nE: SUBSYSTEM=hidraw\nE: MAJOR=241\nE: MINOR=%u\nA: dev=241:%u\n",
                 hidraw, hidraw, hidraw);
    return records;
}

struct Device
{
    Rt48px::EmulatedDevice emulator;
    std::string usbSysPath;   // empty while unplugged
    std::string devnode;      // "/dev/hidraw3"
};

struct Node
{
    std::string devnode;
    size_t device;
    bool alive;   // false once unplugged: its ioctls fail with ENODEV
};

struct Run
{
    UMockdevTestbed *testbed = umockdev_testbed_new();
    UMockdevIoctlBase *handler = umockdev_ioctl_base_new();
    std::string root;
    std::vector<Device> devices;
    std::vector<Node> nodes;      // every node ever plugged: hidraw numbers are never reused
    unsigned nextUsb = 2;
    std::FILE *transcript = nullptr;
    std::string pending;          // a control line not yet complete
    GPid child = 0;
    GMainLoop *loop = nullptr;
    int exitCode = 0;

    ~Run()   // the testbed's folder goes with it
    {
        for (const Node &node : nodes)
            umockdev_testbed_detach_ioctl(testbed, node.devnode.c_str(), nullptr);
        g_object_unref(handler);
        g_object_unref(testbed);
    }
};

// Device `index` comes back (or first appears) as a NEW hidraw node with a fresh
// exchange. False with `error` set when it is present or umockdev refused.
bool plug(Run &run, size_t index, std::string &error)
{
    Device &device = run.devices[index];
    if (!device.devnode.empty()) {
        error = "device already plugged";
        return false;
    }
    const unsigned hidraw = static_cast<unsigned>(run.nodes.size());
    std::string usbPath, hidrawPath;
    const std::string records = sysfsRecords(device.emulator.config(), run.nextUsb++, hidraw, usbPath, hidrawPath);
    const std::string devnode = format("/dev/hidraw%u", hidraw);
    GError *failure = nullptr;
    if (!umockdev_testbed_add_from_string(run.testbed, records.c_str(), &failure)
        || (!device.emulator.config().openFails
            && !umockdev_testbed_attach_ioctl(run.testbed, devnode.c_str(), run.handler, &failure))) {
        error = failure ? failure->message : "umockdev refused the device";
        g_clear_error(&failure);
        return false;
    }
    device.emulator.reset();
    device.usbSysPath = "/sys" + usbPath;
    device.devnode = devnode;
    run.nodes.push_back({devnode, index, true});
    umockdev_testbed_uevent(run.testbed, ("/sys" + hidrawPath).c_str(), "add");
    return true;
}

// Device `index` disappears: its sysfs entries and (unless `keepNode`, as between
// a real unplug and the node's removal) its /dev node go. False when absent.
bool unplug(Run &run, size_t index, bool keepNode)
{
    Device &device = run.devices[index];
    if (device.devnode.empty())
        return false;
    run.nodes[std::stoul(device.devnode.substr(11))].alive = false;
    umockdev_testbed_uevent(run.testbed, device.usbSysPath.c_str(), "remove");
    umockdev_testbed_remove_device(run.testbed, device.usbSysPath.c_str());
    if (!keepNode) {   // umockdev keeps the node (a link to its pty, and its bookkeeping entry)
        ::unlink((run.root + device.devnode).c_str());
        ::unlink((run.root + "/dev/.node/" + device.devnode.substr(5)).c_str());
    }
    device.usbSysPath.clear();
    device.devnode.clear();
    return true;
}

// One hidraw ioctl on a live node, its argument resolved: the result, and in
// `error` the errno that goes with a negative one.
long answer(Run &run, const Node &node, unsigned long request, unsigned char *data, size_t size, int &error)
{
    Rt48px::EmulatedDevice &emulator = run.devices[node.device].emulator;
    const std::vector<unsigned char> &descriptor = descriptorOf(emulator.config());
    if (request == HIDIOCGRDESCSIZE) {
        const int length = static_cast<int>(descriptor.size());
        std::memcpy(data, &length, sizeof length);
        return 0;
    }
    if (request == HIDIOCGRDESC) {
        auto *out = reinterpret_cast<hidraw_report_descriptor *>(data);
        out->size = static_cast<__u32>(std::min<size_t>(out->size, descriptor.size()));
        std::memcpy(out->value, descriptor.data(), out->size);
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
    std::fputs((Rt48px::reportLine(static_cast<long>(node.device), node.devnode, send, before.data(), size, result,
                                   send ? nullptr : data) + '\n').c_str(), run.transcript);
    std::fflush(run.transcript);
    error = EPIPE;
    return result;
}

int onIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, void *data)
{
    Run &run = *static_cast<Run *>(data);
    const std::string devnode = umockdev_ioctl_client_get_devnode(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    const auto node = std::find_if(run.nodes.begin(), run.nodes.end(),
                                   [&](const Node &candidate) { return candidate.devnode == devnode; });
    long result = -1;
    int error = ENODEV;
    if (node != run.nodes.end() && node->alive && _IOC_TYPE(request) != 'H') {
        error = ENOTTY;
    } else if (node != run.nodes.end() && node->alive) {
        const size_t size = _IOC_SIZE(request);
        GError *failure = nullptr;
        UMockdevIoctlData *arg =
            size ? umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, size, &failure) : nullptr;
        g_clear_error(&failure);
        error = EFAULT;
        if (arg) {
            result = answer(run, *node, request, arg->data, size, error);
            g_object_unref(arg);
        }
    }
    umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
    return TRUE;
}

// One line of the control FIFO: "replug [I]", "unplug [I]", "linger [I]" or "set
// [I] KEYS", for device I or every device (README.md).
void command(Run &run, const std::string &line)
{
    std::istringstream words(line);
    std::string verb, keys, error;
    long index = -1;
    words >> verb;
    bool ok = verb == "replug" || verb == "unplug" || verb == "linger";
    if (verb == "set")
        ok = Rt48px::parseSetArguments(line.substr(3), index, keys);
    else
        words >> index;
    if (index >= static_cast<long>(run.devices.size()))
        ok = false;
    for (size_t i = 0; ok && i < run.devices.size(); ++i) {
        if (index >= 0 && size_t(index) != i)
            continue;
        if (verb == "set")
            ok = Rt48px::parseDeviceKeys(keys, run.devices[i].emulator.config(), error);
        else
            ok = unplug(run, i, verb == "linger") && (verb != "replug" || plug(run, i, error));
    }
    if (!ok)
        std::fprintf(stderr, "rt48px-hidraw: %s: failed %s\n", line.c_str(), error.c_str());
    // what waits for the change sees it done
    std::fprintf(run.transcript, "control %s: %s\n", line.c_str(), ok ? "done" : "failed");
    std::fflush(run.transcript);
}

gboolean onControl(GIOChannel *channel, GIOCondition, gpointer data)
{
    Run &run = *static_cast<Run *>(data);
    char buffer[256];
    gsize count = 0;
    while (g_io_channel_read_chars(channel, buffer, sizeof buffer, &count, nullptr) == G_IO_STATUS_NORMAL && count > 0)
        run.pending.append(buffer, count);
    size_t end;
    while ((end = run.pending.find('\n')) != std::string::npos) {
        command(run, run.pending.substr(0, end));
        run.pending.erase(0, end + 1);
    }
    return TRUE;
}

// SIGTERM / SIGINT: hand on to the command and go on waiting for it.
gboolean onTerminate(gpointer data)
{
    kill(static_cast<Run *>(data)->child, SIGTERM);
    return G_SOURCE_CONTINUE;
}

void onChildExit(GPid pid, gint status, gpointer data)
{
    Run &run = *static_cast<Run *>(data);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
    g_spawn_close_pid(pid);
    g_main_loop_quit(run.loop);
}

// Says what went wrong; the harness then exits with 2.
int fail(const std::string &message)
{
    std::fprintf(stderr, "rt48px-hidraw: %s\n", message.c_str());
    return 2;
}

}

int main(int argc, char **argv)
{
    std::vector<Rt48px::DeviceConfig> devices;
    std::string transcriptPath, controlPath, error;
    int commandAt = -1;
    for (int i = 1; i < argc && commandAt < 0; ++i) {
        const std::string arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == "--") {
            commandAt = i + 1;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--device" && valued) {
            if (!Rt48px::parseDeviceKeys(argv[++i], devices.emplace_back(), error))
                return fail(std::string("--device ") + argv[i] + ": " + error);
        } else if (arg == "--transcript" && valued) {
            transcriptPath = argv[++i];
        } else if (arg == "--control" && valued) {
            controlPath = argv[++i];
        } else {
            return fail("unknown option " + arg + " (see --help)");
        }
    }
    if (commandAt < 0 || commandAt >= argc)
        return fail("no command after \"--\" (see --help)");
    const char *preload = g_getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "libumockdev-preload"))
        return fail("the umockdev preload is not active (run me under umockdev-wrapper)");
    if (devices.empty())
        devices.emplace_back();

    Run run;   // the testbed sets UMOCKDEV_DIR for the command
    gchar *root = umockdev_testbed_get_root_dir(run.testbed);
    run.root = root;
    g_free(root);
    g_signal_connect(run.handler, "handle-ioctl", G_CALLBACK(onIoctl), &run);
    for (Rt48px::DeviceConfig &config : devices)
        run.devices.push_back({Rt48px::EmulatedDevice(std::move(config)), {}, {}});
    transcriptPath = transcriptPath.empty() ? run.root + "/transcript" : transcriptPath;
    controlPath = controlPath.empty() ? run.root + "/control" : controlPath;
    run.transcript = std::fopen(transcriptPath.c_str(), "a");
    if (!run.transcript)
        return fail("cannot write " + transcriptPath);
    for (size_t i = 0; i < run.devices.size(); ++i) {
        if (!plug(run, i, error))
            return fail(error);
    }
    // The control FIFO (an old one there is replaced), opened for reading and
    // writing so that it never reports end of file.
    struct stat existing;
    if (stat(controlPath.c_str(), &existing) == 0 && !S_ISFIFO(existing.st_mode))
        return fail(controlPath + " exists and is no FIFO");
    unlink(controlPath.c_str());
    const int controlFd =
        mkfifo(controlPath.c_str(), 0600) == 0 ? open(controlPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1;
    if (controlFd < 0)
        return fail("cannot make " + controlPath + ": " + std::strerror(errno));
    GIOChannel *control = g_io_channel_unix_new(controlFd);
    g_io_channel_set_encoding(control, nullptr, nullptr);
    g_io_channel_set_flags(control, G_IO_FLAG_NONBLOCK, nullptr);
    g_io_add_watch(control, G_IO_IN, onControl, &run);

    g_setenv("RT48PX_HIDRAW_CONTROL", controlPath.c_str(), TRUE);
    g_setenv("RT48PX_HIDRAW_TRANSCRIPT", transcriptPath.c_str(), TRUE);
    GError *failure = nullptr;
    if (!g_spawn_async(nullptr, argv + commandAt, nullptr,
                       GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_CHILD_INHERITS_STDIN),
                       nullptr, nullptr, &run.child, &failure))
        return fail(std::string("cannot start ") + argv[commandAt] + ": " + failure->message);
    run.loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGTERM, onTerminate, &run);
    g_unix_signal_add(SIGINT, onTerminate, &run);
    g_child_watch_add(run.child, onChildExit, &run);
    g_main_loop_run(run.loop);

    g_io_channel_unref(control);
    close(controlFd);
    unlink(controlPath.c_str());
    std::fclose(run.transcript);
    return run.exitCode;
}
