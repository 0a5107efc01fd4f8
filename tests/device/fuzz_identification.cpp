// libFuzzer target: arbitrary device replies to the identification exchange,
// opendev and the two commands (through the stand-in hidapi library), and
// arbitrary information reports to the version parsing. Traps when a device is
// left open where none may be, or when hid_init and hid_exit fall out of step.
#include "FakeHid.h"
#include "HidPackets.h"
#include "hidEnumerate.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>

#include <cstddef>
#include <cstdint>

namespace {

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// Input: a series of answers. Each starts with a mode byte: bit 7 set gives -1;
// otherwise a length byte n and up to n bytes follow, and the result is 0 when
// bit 6 is set, else n.
std::vector<Rt48px::ScriptedAnswer> decode(const uint8_t *data, size_t size)
{
    std::vector<Rt48px::ScriptedAnswer> script;
    size_t at = 0;
    while (at < size) {
        const uint8_t mode = data[at++];
        Rt48px::ScriptedAnswer answer;
        if (mode & 0x80) {
            script.push_back(answer);
            continue;
        }
        const size_t n = at < size ? data[at++] : 0;
        const size_t count = std::min(n, size - at);
        answer.bytes.assign(data + at, data + at + count);
        at += count;
        answer.result = (mode & 0x40) ? 0 : static_cast<int>(n);
        script.push_back(answer);
    }
    return script;
}

int balance()
{
    int inits = 0;
    for (const FakeHid::Call &call : FakeHid::calls("hid_init"))
        inits += call.result == 0 ? 1 : 0;
    return inits - static_cast<int>(FakeHid::calls("hid_exit").size());
}

}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    // config.ini lands beside the fuzzer: start from none
    QDir(QCoreApplication::applicationDirPath()).remove(QStringLiteral("config.ini"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const HidPackets::Versions versions = HidPackets::parseVersions(raw);
    if (versions.firmware.size() < 2 || versions.microcode.size() < 2)
        __builtin_trap();
    HidPackets::select(raw);
    HidPackets::hasSignature(raw);

    FakeHid::reset();
    Rt48px::DeviceConfig config;
    config.kind = Rt48px::Kind::Scripted;
    config.script = decode(data, size);
    FakeHid::addDevice(config);
    FakeHid::addDevice(config);
    {
        hidEnumerate hid;
        hid.enumerate();
        if (hid.getDevlist().size() > 1 || FakeHid::openHandles() != hid.getDevlist().size())
            __builtin_trap();
        hid.send0XFF();
        hid.send0XA0();
        hid.opendev();
        hid.send0XFF();
        if (FakeHid::openHandles() > 1 || balance() != FakeHid::openHandles())
            __builtin_trap();
    }
    if (FakeHid::openHandles() != 0 || balance() != 0 || FakeHid::liveEnumerations() != 0)
        __builtin_trap();
    return 0;
}
