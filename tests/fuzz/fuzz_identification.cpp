// libFuzzer target: arbitrary replies to the identification exchange, opendev
// and the two commands (over the stand-in hidapi library), and arbitrary
// information reports to the version parsing. Traps when a device is left open
// where none may be, or when hid_init and hid_exit fall out of step.
#include "FakeHid.h"
#include "HidPackets.h"
#include "hidEnumerate.h"

#include <QCoreApplication>
#include <QDir>

namespace {

// Answers, each a length byte n and up to n bytes (result n); n = 0xFF gives -1.
std::vector<Rt48px::ScriptedAnswer> decode(const uint8_t *data, size_t size)
{
    std::vector<Rt48px::ScriptedAnswer> script;
    for (size_t at = 0; at < size;) {
        Rt48px::ScriptedAnswer &answer = script.emplace_back();
        const uint8_t n = data[at++];
        if (n == 0xFF)
            continue;
        const size_t count = std::min<size_t>(n, size - at);
        answer.bytes.assign(data + at, data + at + count);
        answer.result = n;
        at += count;
    }
    return script;
}

}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
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
        if (FakeHid::openHandles() > 1 || !FakeHid::initsBalanced())
            __builtin_trap();
    }
    if (FakeHid::openHandles() != 0 || !FakeHid::initsBalanced() || FakeHid::liveEnumerations() != 0)
        __builtin_trap();
    return 0;
}
