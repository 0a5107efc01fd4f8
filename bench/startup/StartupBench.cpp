// Start-up benchmark: time from process start to the first rendered frame of the
// window, and peak resident memory, for the wizard and two reference programs,
// offscreen and on an X server (Xvfb). Medians over several runs.
//
//   bench_startup --upvane build/upvane/upvane --baseline build/bench/startup/bench_baseline [--runs 7]
//
// The first frame is taken from Qt's own scene-graph timing log
// (qt.scenegraph.time.renderloop), which every Qt Quick program prints when
// asked through QT_LOGGING_RULES; nothing in the programs is changed for it.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample
{
    double firstFrameMs = -1;
    long peakRssKb = 0;
};

struct Subject
{
    std::string name;
    std::vector<std::string> argv;
};

// A fresh home for one start: its own runtime (private), data and configuration folders.
void prepareHome(const fs::path &home)
{
    fs::remove_all(home);
    for (const char *sub : {"run", "data", "config"})
        fs::create_directories(home / sub);
    fs::permissions(home / "run", fs::perms::owner_all);
}

// In the forked child: runs `subject` with its errors to `errorsFd`, its output
// discarded, on `platform` and in `home`, with the scene graph's timing log on.
[[noreturn]] void execSubject(const Subject &subject, const std::string &platform, const std::string &display,
                              const fs::path &home, int errorsFd)
{
    dup2(errorsFd, STDERR_FILENO);
    close(errorsFd);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    setenv("QT_QPA_PLATFORM", platform.c_str(), 1);
    if (!display.empty())
        setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_LOGGING_RULES", "*.debug=false;qt.scenegraph.time.renderloop=true", 1);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    std::vector<char *> args;
    for (const std::string &a : subject.argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

// Reads the child's errors from `fd` until the first frame is logged; returns the
// milliseconds since `start`, or -1 when none came within 30 s of it.
double awaitFirstFrame(int fd, Clock::time_point start)
{
    std::string buffer;
    char chunk[4096];
    const auto deadline = start + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        buffer.append(chunk, size_t(n));
        if (buffer.find("Frame rendered") != std::string::npos)
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    return -1;
}

// Ends the child `pid`; returns its peak RSS in KiB.
long endAndMeasure(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

// Runs one start of `subject`; returns the time to the first frame and the peak RSS.
Sample runOnce(const Subject &subject, const std::string &platform, const std::string &display,
               const fs::path &home)
{
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return {};
    prepareHome(home);

    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFd[0]);
        execSubject(subject, platform, display, home, pipeFd[1]);
    }
    close(pipeFd[1]);

    Sample sample;
    sample.firstFrameMs = awaitFirstFrame(pipeFd[0], start);
    sample.peakRssKb = endAndMeasure(pid);
    close(pipeFd[0]);
    return sample;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Starts a private Xvfb and returns its display name (":N"), or "" on failure.
std::string startXvfb(pid_t &xvfb)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    xvfb = fork();
    if (xvfb == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the number and the newline separately; read up to the newline
    // so that the pipe stays open for both writes.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    return number.empty() ? std::string() : ":" + number;
}

struct Options
{
    std::string upvane, baseline;
    int runs = 7;
};

// --upvane PATH --baseline PATH [--runs N], each key with its value; what is
// not given stays empty (the paths) or 7 (the runs).
Options parseOptions(int argc, char *argv[])
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--upvane")
            options.upvane = argv[i + 1];
        else if (key == "--baseline")
            options.baseline = argv[i + 1];
        else if (key == "--runs")
            options.runs = std::max(1, std::atoi(argv[i + 1]));
    }
    return options;
}

// The wizard runs from a program folder of its own, so its config.ini is ours:
// a copy of `upvane` in <work>/program. Returns the work folder.
fs::path makeWorkFolder(const std::string &upvane)
{
    const fs::path work = fs::temp_directory_path() / ("upvane-bench-" + std::to_string(getpid()));
    fs::create_directories(work / "program");
    fs::copy_file(upvane, work / "program" / "upvane", fs::copy_options::overwrite_existing);
    return work;
}

std::vector<Subject> subjectsOf(const Options &options, const fs::path &work)
{
    return {
        {"bare Qt Quick window", {options.baseline, "bare"}},
        {"window with the wizard's imports", {options.baseline, "imports"}},
        {"same, with the start screen's picture and texts", {options.baseline, "content"}},
        {"upvane", {(work / "program" / "upvane").string()}},
    };
}

struct Platform
{
    std::string name, qpa, display;
};

// Offscreen, and the X server at `display` when there is one.
std::vector<Platform> platformsWith(const std::string &display)
{
    std::vector<Platform> platforms = {{"offscreen", "offscreen", ""}};
    if (!display.empty())
        platforms.push_back({"Xvfb", "xcb", display});
    return platforms;
}

// One subject's measures on one platform: first-frame times (ms) of the runs
// that showed one, and every run's peak RSS (MiB).
struct Series
{
    std::vector<double> frames, rss;
};

// After a start that warms the file cache, `runs` rounds of one start of every subject.
std::vector<Series> measure(const std::vector<Subject> &subjects, const Platform &platform, int runs,
                            const fs::path &home)
{
    std::vector<Series> series(subjects.size());
    runOnce(subjects[0], platform.qpa, platform.display, home);   // warm the file cache
    for (int r = 0; r < runs; ++r) {
        for (size_t s = 0; s < subjects.size(); ++s) {
            const Sample sample = runOnce(subjects[s], platform.qpa, platform.display, home);
            if (sample.firstFrameMs >= 0)
                series[s].frames.push_back(sample.firstFrameMs);
            series[s].rss.push_back(double(sample.peakRssKb) / 1024.0);
        }
    }
    return series;
}

// The table's rows of one platform: medians, and their ratios against the second
// subject (b, the window with the wizard's imports) and the third (c, that window
// with what the wizard's first frame shows).
void printRows(const Platform &platform, const std::vector<Subject> &subjects, const std::vector<Series> &series)
{
    const double frameB = median(series[1].frames), frameC = median(series[2].frames);
    const double rssB = median(series[1].rss), rssC = median(series[2].rss);
    for (size_t s = 0; s < subjects.size(); ++s) {
        const double frame = median(series[s].frames);
        const double rss = median(series[s].rss);
        std::printf("| %s | %s | %.1f (%.2fx b, %.2fx c) | %.1f (%.2fx b, %.2fx c) |\n", platform.name.c_str(),
                    subjects[s].name.c_str(), frame, frame / frameB, frame / frameC, rss, rss / rssB, rss / rssC);
    }
}

void stopXvfb(pid_t xvfb)
{
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
}

}

int main(int argc, char *argv[])
{
    const Options options = parseOptions(argc, argv);
    if (options.upvane.empty() || options.baseline.empty()) {
        std::fprintf(stderr, "usage: %s --upvane PATH --baseline PATH [--runs N]\n", argv[0]);
        return 2;
    }
    const fs::path work = makeWorkFolder(options.upvane);
    const std::vector<Subject> subjects = subjectsOf(options, work);

    pid_t xvfb = -1;
    const std::vector<Platform> platforms = platformsWith(startXvfb(xvfb));
    std::printf("| platform | program | first frame (ms, median of %d) | peak RSS (MiB, median) |\n", options.runs);
    std::printf("|---|---|---|---|\n");
    for (const Platform &platform : platforms)
        printRows(platform, subjects, measure(subjects, platform, options.runs, work / "home"));
    stopXvfb(xvfb);
    fs::remove_all(work);
    return 0;
}
