// rt48px-hidraw: runs a command with emulated RT48PX (and other HID) devices
// presented as hidraw nodes to the unmodified hidapi-hidraw library.
#include "HidrawTestbed.h"

#include <glib-unix.h>
#include <glib.h>
#include <umockdev.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kUsage[] = R"(Usage: rt48px-hidraw [OPTION]... -- COMMAND [ARGUMENT]...

Runs COMMAND with emulated USB HID devices presented as hidraw nodes
(/dev/hidrawN and their sysfs/udev records) by umockdev, so that the unmodified
hidapi-hidraw library finds them, opens them and exchanges feature reports with
them. The emulated RT48PX answers the probe, the select, the information request,
the 0xA0 command and the 0xFF confirmation; other devices do not. Exits with
COMMAND's exit code (128 + signal when it was killed), 2 on a usage error.

Needs umockdev-wrapper around it (it restarts itself under umockdev-wrapper when
started without); COMMAND and its children inherit the preload.

Options:
  --device KEYS       add a device (repeatable; hidapi lists them in this order).
                      KEYS: key=value pairs separated by "," or blanks:
                        kind=rt48px|mute|foreign   (default rt48px)
                        vid=HEX pid=HEX release=HEX interface=N
                        manufacturer=TEXT product=TEXT serial=TEXT  ("-": missing)
                        firmware=7CHARS microcode=7CHARS  (bytes 28-34 / 35-41
                          of the information report, e.g. 01R0107, V1R1104)
                        open=fails                 (the node cannot be opened)
                        fail=STEP[:FAULT]          (that step fails every time)
                          STEP: probe probe-reply select status
                                information-request information command confirmation
                          FAULT: negative (default) short empty wrong-signature
                                 bad-status zero-ready
                        delay-ms=N | delay-us=N    (spent in every report)
  --scenario FILE     read devices from FILE: one "device KEYS" per line, "#"
                      starts a comment (the devices follow those of --device)
  --transcript FILE   append one line per report exchanged to FILE:
                        device I /dev/hidrawN send|get length L result R: HEX [-> HEX]
  --control FIFO      create FIFO and read commands from it, one per line:
                        replug [I]   unplug [I]   plug [I]   set [I] KEYS
                        (I: device index, default every device); a replugged
                        device comes back as a NEW hidraw node; an unplugged
                        one loses its node; set applies device keys (e.g.
                        firmware=V1R1107) from the next report on
                        linger [I]   unplug, but the /dev node stays behind
                        (it opens; its ioctls fail with ENODEV)
                      each command, once applied, writes a line "control
                      COMMAND: done" (or "failed") to the transcript
  --help              show this text

Without --device or --scenario one RT48PX with default versions is emulated.
SIGUSR1 replugs every device. COMMAND sees these environment variables:
  RT48PX_HIDRAW_CONTROL     the control FIFO (one is always made)
  RT48PX_HIDRAW_TRANSCRIPT  the transcript file (one is always written)
  UMOCKDEV_DIR              the testbed (set by umockdev)

Example:
  rt48px-hidraw --device kind=mute,product=Mouse --device microcode=V1R1103 \
      -- build/upvane/upvane
)";

struct Run
{
    HidrawTestbed *testbed = nullptr;
    GPid child = 0;
    GMainLoop *loop = nullptr;
    int exitCode = 0;
    std::string transcriptPath;
    std::string controlPath;
    GIOChannel *control = nullptr;
    std::string pending;
    std::FILE *transcript = nullptr;
};

void command(Run &run, const std::string &line)
{
    char verb[16] = {0};
    long index = -1;
    const int fields = std::sscanf(line.c_str(), "%15s %ld", verb, &index);
    if (fields < 1)
        return;
    const size_t which = index < 0 ? std::string::npos : static_cast<size_t>(index);
    std::string error;
    bool ok = true;
    const std::string name = verb;
    long setIndex = -1;
    std::string keys;
    if (name == "set") {
        const bool parsed = Rt48px::parseSetArguments(line.substr(line.find("set") + 3), setIndex, keys);
        ok = parsed && run.testbed->setKeys(setIndex < 0 ? std::string::npos : size_t(setIndex), keys, error);
        if (!parsed)
            error = "no device keys";
    } else if (name == "replug") {
        ok = run.testbed->replug(which, error);
    } else if (name == "unplug" || name == "linger") {
        for (size_t i = 0; i < run.testbed->deviceCount(); ++i) {
            if (which == std::string::npos || which == i)
                ok = run.testbed->unplug(i, name == "linger") && ok;
        }
    } else if (name == "plug") {
        ok = which == std::string::npos ? run.testbed->plugAll(error) : run.testbed->plug(which, error);
    } else {
        error = "unknown command";
        ok = false;
    }
    if (!ok)
        std::fprintf(stderr, "rt48px-hidraw: %s: failed %s\n", line.c_str(), error.c_str());
    if (run.transcript) {   // what waits for the change sees it done
        std::fprintf(run.transcript, "control %s: %s\n", line.c_str(), ok ? "done" : "failed");
        std::fflush(run.transcript);
    }
}

gboolean onControl(GIOChannel *channel, GIOCondition condition, gpointer data)
{
    Run &run = *static_cast<Run *>(data);
    if (condition & G_IO_IN) {
        char buffer[256];
        gsize count = 0;
        while (g_io_channel_read_chars(channel, buffer, sizeof buffer, &count, nullptr) == G_IO_STATUS_NORMAL
               && count > 0) {
            run.pending.append(buffer, count);
        }
        size_t end;
        while ((end = run.pending.find('\n')) != std::string::npos) {
            command(run, run.pending.substr(0, end));
            run.pending.erase(0, end + 1);
        }
    }
    return TRUE;
}

// SIGTERM / SIGINT: hand on to the command and go on waiting for it.
gboolean onTerminate(gpointer data)
{
    Run &run = *static_cast<Run *>(data);
    if (run.child > 0)
        kill(run.child, SIGTERM);
    return G_SOURCE_CONTINUE;
}

gboolean onReplugSignal(gpointer data)
{
    command(*static_cast<Run *>(data), "replug");
    return G_SOURCE_CONTINUE;
}

void onChildExit(GPid pid, gint status, gpointer data)
{
    Run &run = *static_cast<Run *>(data);
    if (WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        run.exitCode = 128 + WTERMSIG(status);
    else
        run.exitCode = 1;
    g_spawn_close_pid(pid);
    g_main_loop_quit(run.loop);
}

bool readScenario(const std::string &path, std::vector<Rt48px::DeviceConfig> &devices, std::string &error)
{
    std::ifstream file(path);
    if (!file) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        line = line.substr(0, line.find('#'));
        const size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos)
            continue;
        line = line.substr(start);
        if (line.compare(0, 7, "device ") != 0 && line != "device") {
            error = path + ":" + std::to_string(number) + ": expected \"device KEYS\"";
            return false;
        }
        Rt48px::DeviceConfig config;
        if (!Rt48px::parseDeviceKeys(line.substr(6), config, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
        devices.push_back(config);
    }
    return true;
}

// Restarts this program under umockdev-wrapper when the preload is missing.
bool preloaded()
{
    const char *preload = g_getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

void ensureWrapped(char **argv)
{
    if (preloaded())
        return;
    if (g_getenv("RT48PX_HIDRAW_WRAPPED")) {
        std::fprintf(stderr, "rt48px-hidraw: the umockdev preload is not active (run me under umockdev-wrapper)\n");
        std::exit(2);
    }
    g_setenv("RT48PX_HIDRAW_WRAPPED", "1", TRUE);
    std::vector<char *> args;
    static char wrapper[] = "umockdev-wrapper";
    gchar *self = g_file_read_link("/proc/self/exe", nullptr);
    args.push_back(wrapper);
    args.push_back(self ? self : argv[0]);
    for (char **arg = argv + 1; *arg; ++arg)
        args.push_back(*arg);
    args.push_back(nullptr);
    execvp(wrapper, args.data());
    std::fprintf(stderr, "rt48px-hidraw: cannot start umockdev-wrapper: %s\n", std::strerror(errno));
    std::exit(2);
}

struct Arguments
{
    bool help = false;
    std::vector<Rt48px::DeviceConfig> devices;   // --device, in order
    std::vector<std::string> scenarios;          // --scenario files: their devices follow
    std::string transcriptPath;
    std::string controlPath;
    int command = -1;                            // where COMMAND starts in argv
};

// The command line, read without touching a file. False with `error` set on a
// usage error.
bool parseArguments(int argc, char **argv, Arguments &arguments, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool valued = i + 1 < argc;
        if (arg == "--") {
            arguments.command = i + 1;
            break;
        } else if (arg == "--help" || arg == "-h") {
            arguments.help = true;
            return true;
        } else if (arg == "--device" && valued) {
            Rt48px::DeviceConfig &config = arguments.devices.emplace_back();
            if (!Rt48px::parseDeviceKeys(argv[++i], config, error)) {
                error = std::string("--device ") + argv[i] + ": " + error;
                return false;
            }
        } else if (arg == "--scenario" && valued) {
            arguments.scenarios.push_back(argv[++i]);
        } else if (arg == "--transcript" && valued) {
            arguments.transcriptPath = argv[++i];
        } else if (arg == "--control" && valued) {
            arguments.controlPath = argv[++i];
        } else {
            error = "unknown option " + arg + " (see --help)";
            return false;
        }
    }
    if (arguments.command < 0 || arguments.command >= argc) {
        error = "no command after \"--\" (see --help)";
        return false;
    }
    return true;
}

// The control FIFO at `path` (an old FIFO there is replaced), opened for reading
// and writing so that it never reports end of file; -1 with `error` set.
int makeControlFifo(const std::string &path, std::string &error)
{
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0) {
        if (!S_ISFIFO(existing.st_mode)) {
            error = path + " exists and is no FIFO";
            return -1;
        }
        unlink(path.c_str());
    }
    const int fd = mkfifo(path.c_str(), 0600) == 0 ? open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1;
    if (fd < 0)
        error = "cannot make " + path + ": " + std::strerror(errno);
    return fd;
}

// Starts COMMAND with the harness's variables and watches it: its exit ends the
// main loop, SIGTERM and SIGINT are handed on to it, SIGUSR1 and the control
// FIFO replug devices.
bool startCommand(char **command, int controlFd, Run &run, std::string &error)
{
    run.control = g_io_channel_unix_new(controlFd);
    g_io_channel_set_encoding(run.control, nullptr, nullptr);
    g_io_channel_set_flags(run.control, G_IO_FLAG_NONBLOCK, nullptr);
    g_io_add_watch(run.control, G_IO_IN, onControl, &run);
    g_unix_signal_add(SIGUSR1, onReplugSignal, &run);

    g_setenv("RT48PX_HIDRAW_CONTROL", run.controlPath.c_str(), TRUE);
    g_setenv("RT48PX_HIDRAW_TRANSCRIPT", run.transcriptPath.c_str(), TRUE);
    g_unsetenv("RT48PX_HIDRAW_WRAPPED");

    GError *failure = nullptr;
    if (!g_spawn_async(nullptr, command, nullptr,
                       GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_CHILD_INHERITS_STDIN),
                       nullptr, nullptr, &run.child, &failure)) {
        error = std::string("cannot start ") + command[0] + ": " + failure->message;
        g_clear_error(&failure);
        return false;
    }
    g_unix_signal_add(SIGTERM, onTerminate, &run);
    g_unix_signal_add(SIGINT, onTerminate, &run);
    g_child_watch_add(run.child, onChildExit, &run);
    return true;
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
    Arguments arguments;
    std::string error;
    if (!parseArguments(argc, argv, arguments, error))
        return fail(error);
    if (arguments.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::vector<Rt48px::DeviceConfig> devices = arguments.devices;
    for (const std::string &scenario : arguments.scenarios) {
        if (!readScenario(scenario, devices, error))
            return fail(error);
    }
    if (devices.empty())
        devices.emplace_back();
    ensureWrapped(argv);

    HidrawTestbed testbed(devices, nullptr);
    Run run;
    run.testbed = &testbed;
    run.transcriptPath = arguments.transcriptPath.empty() ? testbed.rootDir() + "/transcript" : arguments.transcriptPath;
    run.controlPath = arguments.controlPath.empty() ? testbed.rootDir() + "/control" : arguments.controlPath;
    std::FILE *transcript = std::fopen(run.transcriptPath.c_str(), "a");
    if (!transcript)
        return fail("cannot write " + run.transcriptPath);
    testbed.setTranscript(transcript);
    run.transcript = transcript;
    if (!testbed.plugAll(error))
        return fail(error);
    const int controlFd = makeControlFifo(run.controlPath, error);
    if (controlFd < 0)
        return fail(error);
    run.loop = g_main_loop_new(nullptr, FALSE);
    if (!startCommand(argv + arguments.command, controlFd, run, error))
        return fail(error);
    g_main_loop_run(run.loop);

    g_io_channel_unref(run.control);
    close(controlFd);
    unlink(run.controlPath.c_str());
    g_main_loop_unref(run.loop);
    std::fclose(transcript);
    return run.exitCode;
}
