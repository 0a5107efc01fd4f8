// Device search figures (run by hand; see README.md "Device search").
//
// bench_enumerate (stand-in hidapi):
//   1. enumerate() over 1, 8 and 32 emulated devices, each report delayed by a
//      fixed time: wall time against the sum of the emulated delays.
//   2. open handles, open file descriptors and RSS before and after 1,000
//      searches with a non-answering device present.
// bench_enumerate_hidraw (real hidapi-hidraw, run under rt48px-hidraw): part 2
//   only, against the devices the harness presents.
#include "hidEnumerate.h"

#ifndef BENCH_REAL_HIDAPI
#include "FakeHid.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <sys/prctl.h>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int handles()
{
#ifdef BENCH_REAL_HIDAPI
    return -1;   // only the descriptors tell
#else
    return FakeHid::openHandles();
#endif
}

// The stand-in library keeps a transcript of every call: drop it between
// searches so that only the program's own memory is measured.
void forgetCalls()
{
#ifndef BENCH_REAL_HIDAPI
    FakeHid::clearTranscript();
#endif
}

void searches(int count)
{
    hidEnumerate hid;
    for (int i = 0; i < 10; ++i) {   // warm-up: first allocations, config.ini cache
        hid.enumerate();
        forgetCalls();
    }
    const int handlesBefore = handles();
    const int fdsBefore = openDescriptors();
    const long rssBefore = rssKiB();
    for (int i = 0; i < count; ++i) {
        hid.enumerate();
        forgetCalls();
    }
    std::printf("%d searches: open handles %d -> %d, open descriptors %d -> %d, RSS %ld -> %ld KiB, found %d\n",
                count, handlesBefore, handles(), fdsBefore, openDescriptors(), rssBefore, rssKiB(),
                int(hid.getDevlist().size()));
}

#ifndef BENCH_REAL_HIDAPI
// N devices: N-1 that take the probe but fail the signature, the RT48PX last,
// so enumerate() walks all of them.
double walk(int devices, std::chrono::microseconds delay, int rounds)
{
    std::vector<double> ratios;
    std::vector<double> floors;
    for (int round = 0; round < rounds; ++round) {
        FakeHid::reset();
        for (int i = 0; i < devices; ++i) {
            Rt48px::DeviceConfig config;
            config.kind = i + 1 < devices ? Rt48px::Kind::Foreign : Rt48px::Kind::Rt48px;
            config.delay = delay;
            FakeHid::addDevice(config);
        }
        hidEnumerate hid;
        const Clock::time_point start = Clock::now();
        hid.enumerate();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        int reports = 0;
        for (const FakeHid::Call &call : FakeHid::transcript())
            reports += call.function == "hid_send_feature_report" || call.function == "hid_get_feature_report";
        double waited = 0;
        for (int i = 0; i < devices; ++i)
            waited += std::chrono::duration<double>(FakeHid::device(i).timeWaited()).count();
        const double nominal = reports * std::chrono::duration<double>(delay).count();
        ratios.push_back(wall / nominal);
        floors.push_back(wall / waited);
        if (hid.getDevlist().size() != 1)
            std::printf("  (device not found!)\n");
        if (round == 0)
            std::printf("%2d devices, %3d reports x %lld us: ", devices, reports, static_cast<long long>(delay.count()));
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(floors.begin(), floors.end());
    std::printf("wall / nominal delays = %.4f, wall / measured sleeps = %.4f (medians of %d)\n",
                ratios[ratios.size() / 2], floors[floors.size() / 2], rounds);
    return ratios[ratios.size() / 2];
}
#endif

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    // The emulated delays are sleeps: keep the kernel's timer slack (50 us by
    // default) from lengthening each of them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
#ifdef BENCH_REAL_HIDAPI
    searches(count);
#else
    for (int devices : {1, 8, 32})
        walk(devices, std::chrono::milliseconds(2), 7);
    FakeHid::reset();
    Rt48px::DeviceConfig mute;
    mute.kind = Rt48px::Kind::Mute;
    FakeHid::addDevice(mute);
    FakeHid::addDevice();
    searches(count);
#endif
    return 0;
}
