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
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char kUsage[] = R"(Usage: rt48px-hidraw [--device KEYS]... [--transcript FILE] [--control FIFO] -- COMMAND...

Runs COMMAND (under umockdev-wrapper) with emulated HID devices as hidraw nodes
for the unmodified hidapi-hidraw; exits with its exit code, 2 on a usage error.
Device keys, the transcript and the control FIFO's commands: emulator/device/README.md.
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

// One line of the control FIFO: "replug [I]", "unplug [I]", "linger [I]" or "set
// [I] KEYS", for device I or every device (README.md).
void command(Run &run, const std::string &line)
{
    std::istringstream words(line);
    std::string verb, keys, error;
    long index = -1;
    words >> verb;
    bool ok = verb == "replug" || verb == "unplug" || verb == "linger";
    if (verb == "set") {
        ok = Rt48px::parseSetArguments(line.substr(3), index, keys)
            && run.testbed->setKeys(index < 0 ? std::string::npos : size_t(index), keys, error);
    } else if (ok) {
        words >> index;
        for (size_t i = 0; i < run.testbed->deviceCount(); ++i) {
            if (index < 0 || size_t(index) == i)
                ok = run.testbed->unplug(i, verb == "linger") && (verb != "replug" || run.testbed->plug(i, error)) && ok;
        }
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
// main loop, SIGTERM and SIGINT are handed on to it, the control FIFO
// replugs devices.
bool startCommand(char **command, int controlFd, Run &run, std::string &error)
{
    run.control = g_io_channel_unix_new(controlFd);
    g_io_channel_set_encoding(run.control, nullptr, nullptr);
    g_io_channel_set_flags(run.control, G_IO_FLAG_NONBLOCK, nullptr);
    g_io_add_watch(run.control, G_IO_IN, onControl, &run);

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
