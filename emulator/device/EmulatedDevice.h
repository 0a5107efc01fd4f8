#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

// The emulated RT48PX and the other HID devices around it: the protocol state
// machine behind both the stand-in hidapi library (FakeHid.h) and the umockdev
// harness (rt48px-hidraw). Plain C++, no Qt, no I/O.
namespace Rt48px {

enum class Kind {
    Rt48px,    // answers the probe, the select and the information request
    Mute,      // every feature report fails (-1), like a mouse without them
    Foreign,   // takes every report and answers every read with 0xAA bytes
    Scripted,  // answers every send and read with the next entry of `script`
};

// The single steps of every exchange, as the device sees them.
enum class Step {
    None,
    Probe,                // a send of report 0x01 (any length)
    ProbeReply,           // a read of report 0x81
    Select,               // a send of report 0x82
    Status,               // a read of report 0x02
    InformationRequest,   // a send of report 0x92
    Information,          // a read of report 0x12
    Command,              // a send of report 0xA2
    Confirmation,         // a read of report 0x22
};

enum class Fault {
    Negative,         // the call returns -1
    Short,            // a read returns only the first half of the report
    Empty,            // a read returns 0 bytes and leaves the buffer alone
    WrongSignature,   // the probe reply carries no "FU" anywhere
    BadStatus,        // byte 4 of the status report is 3
    ZeroReady,        // byte 50 of the information report is 0
};

// One answer of a Scripted device: the call's result (clamped to the length
// passed) and, for a read, the bytes written into the buffer (at most the length).
struct ScriptedAnswer
{
    int result = -1;
    std::vector<unsigned char> bytes;
};

struct DeviceConfig
{
    Kind kind = Kind::Rt48px;
    std::string path;                  // hidapi's raw path (the stand-in library only)
    unsigned short vendorId = 0xf0e1;
    unsigned short productId = 0x0048;
    std::optional<std::wstring> manufacturer = std::wstring(L"VELM");   // nullopt: missing
    std::optional<std::wstring> product = std::wstring(L"RT48PX KVM");
    std::optional<std::wstring> serial = std::wstring(L"RT48PX-0001");
    int interfaceNumber = 0;
    unsigned short releaseNumber = 0x0104;
    std::string firmware = "01R0107";   // 7 characters, bytes 28..34 of report 0x12
    std::string microcode = "V1R1104";  // 7 characters, bytes 35..41 of report 0x12
    bool openFails = false;             // hid_open_path / open() fails
    Step failStep = Step::None;         // the step that fails, every time it comes
    Fault fault = Fault::Negative;
    std::chrono::microseconds delay{0}; // spent in every feature report (the benchmark sets it)
    std::vector<ScriptedAnswer> script; // Scripted: consumed in order; -1 once used up
};

// Parses "key=value" pairs separated by "," or blanks into `config` (keys:
// kind=rt48px|mute|foreign, path, vid, pid (hex), manufacturer, product, serial
// (text; "-" = missing), interface, release (hex), firmware, microcode (7
// characters each), open=fails, fail=<step>:<fault>).
// Steps: probe, probe-reply, select, status, information-request, information,
// command, confirmation. Faults: negative, short, empty, wrong-signature,
// bad-status, zero-ready. Returns false with `error` set on an unknown key or
// a bad value; `config` then holds the pairs before it.
bool parseDeviceKeys(const std::string &keys, DeviceConfig &config, std::string &error);

// The arguments of the control line "set [I] KEYS" (after the verb): the device
// index I (-1 without it: every device) and the device keys to apply to it with
// parseDeviceKeys, e.g. "firmware=V1R1107" after an upgrade program wrote it.
// Returns false when no keys follow.
bool parseSetArguments(const std::string &arguments, long &index, std::string &keys);

// One device: remembers what was asked last and answers the next read of it.
class EmulatedDevice
{
public:
    explicit EmulatedDevice(DeviceConfig config = {});

    DeviceConfig &config() { return m_config; }
    const DeviceConfig &config() const { return m_config; }

    // A feature report from the host: `data` holds `length` bytes, the report id
    // first. Returns `length` when taken, -1 when refused (a stall).
    int sendFeature(const unsigned char *data, size_t length);
    // A read of report data[0] into `length` bytes. Returns the bytes written,
    // report id included (0 and -1 as the fault says), -1 when nothing answers.
    int getFeature(unsigned char *data, size_t length);

    // What the device has seen since construction or reset().
    int commandsReceived() const { return m_commands; }
    // Time actually spent in the configured delays (a sleep may overshoot).
    std::chrono::nanoseconds timeWaited() const { return m_waited; }
    // Forgets the exchange in progress (as after being plugged in again).
    void reset();

private:
    // The reports this device answers with.
    std::vector<unsigned char> probeReply() const;
    std::vector<unsigned char> informationReport() const;
    bool faultAt(Step step) const { return m_config.failStep == step; }
    int scripted(unsigned char *data, size_t length);
    int answer(Step step, std::vector<unsigned char> report, unsigned char *data, size_t length);
    void wait() const;

    DeviceConfig m_config;
    bool m_probed = false;
    bool m_selected = false;
    bool m_informationAsked = false;
    int m_commands = 0;
    size_t m_scriptPosition = 0;
    mutable std::chrono::nanoseconds m_waited{0};
};

// A feature report as both transcripts write it, in lower-case hex:
// "device I PATH send|get length L result R: HEX[ -> HEX of the R bytes returned]"
// (`reply` null for a send; PATH "-" for an empty one).
std::string reportLine(long device, const std::string &path, bool send, const unsigned char *bytes,
                       size_t length, int result, const unsigned char *reply);

}
