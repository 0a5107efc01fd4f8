#include "EmulatedDevice.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

namespace Rt48px {

namespace {

constexpr size_t kProbeReplyLength = 33;
constexpr size_t kSelectLength = 29;
constexpr size_t kInformationLength = 80;

const unsigned char kProbe[] = {0x01, 0x46, 0x55, 0xFF, 0x45, 0x4E, 0x2D};
const unsigned char kInformationRequest[] = {0x92, 0x46, 0x55, 0x90, 0x00, 0x44, 0x49, 0xB8};
const unsigned char kCommandA0[] = {0xA2, 0x46, 0x55, 0xA0, 0x00, 0x43, 0x54, 0xD2};

// Low 8 bits of the sum of bytes 1 .. n-1 of `bytes`.
unsigned char checksum(const std::vector<unsigned char> &bytes, size_t n)
{
    unsigned sum = 0;
    for (size_t i = 1; i < n && i < bytes.size(); ++i)
        sum += bytes[i];
    return static_cast<unsigned char>(sum & 0xFF);
}

bool startsWith(const unsigned char *data, size_t length, const unsigned char *packet, size_t size)
{
    return length >= size && std::memcmp(data, packet, size) == 0;
}

void seal(std::vector<unsigned char> &report)
{
    report.back() = checksum(report, report.size() - 1);
}

void putField(std::vector<unsigned char> &report, size_t at, const std::string &text)
{
    for (size_t i = 0; i < 7; ++i)
        report[at + i] = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// Sets `value` to the one that `name` stands for in `table`; false for a name not in it.
template <typename Value, size_t N>
bool lookUp(const std::pair<const char *, Value> (&table)[N], const std::string &name, Value &value)
{
    for (const auto &entry : table) {
        if (name == entry.first) {
            value = entry.second;
            return true;
        }
    }
    return false;
}

// The names of the device keys' values.
const std::pair<const char *, Kind> kKinds[] = {
    {"rt48px", Kind::Rt48px}, {"mute", Kind::Mute}, {"foreign", Kind::Foreign}};

const std::pair<const char *, Step> kSteps[] = {
    {"probe", Step::Probe}, {"probe-reply", Step::ProbeReply}, {"select", Step::Select},
    {"status", Step::Status}, {"information-request", Step::InformationRequest},
    {"information", Step::Information}, {"command", Step::Command},
    {"confirmation", Step::Confirmation}, {"none", Step::None}};

const std::pair<const char *, Fault> kFaults[] = {
    {"negative", Fault::Negative}, {"short", Fault::Short}, {"empty", Fault::Empty},
    {"wrong-signature", Fault::WrongSignature}, {"bad-status", Fault::BadStatus},
    {"zero-ready", Fault::ZeroReady}};

// `text` as a number in `base` from 0 to `max` into `value`; false for anything else.
template <typename Number>
bool parseNumber(const std::string &text, int base, long max, Number &value)
{
    char *end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, base);
    if (text.empty() || *end != '\0' || parsed < 0 || parsed > max)
        return false;
    value = static_cast<Number>(parsed);
    return true;
}

std::optional<std::wstring> wideText(const std::string &text)
{
    if (text == "-")
        return std::nullopt;
    return std::wstring(text.begin(), text.end());
}

}

std::string reportLine(long device, const std::string &path, bool send, const unsigned char *bytes,
                       size_t length, int result, const unsigned char *reply)
{
    std::string line = "device " + std::to_string(device) + ' ' + (path.empty() ? "-" : path)
        + (send ? " send" : " get") + " length " + std::to_string(length) + " result " + std::to_string(result) + ':';
    char digits[4];
    const size_t replied = reply && result > 0 ? static_cast<size_t>(result) : 0;
    for (size_t i = 0; i < length + replied; ++i) {
        std::snprintf(digits, sizeof digits, " %02x", i < length ? bytes[i] : reply[i - length]);
        line += (i == length ? " ->" : "") + std::string(digits);
    }
    return line;
}

namespace {

using KeyValue = bool (*)(const std::string &, DeviceConfig &);

// The device keys and how each takes its value; false for a bad value.
const std::pair<const char *, KeyValue> kKeys[] = {
    {"kind", [](const std::string &v, DeviceConfig &c) { return lookUp(kKinds, v, c.kind); }},
    {"path", [](const std::string &v, DeviceConfig &c) { return c.path = v, true; }},
    {"vid", [](const std::string &v, DeviceConfig &c) { return parseNumber(v, 16, 0xFFFF, c.vendorId); }},
    {"pid", [](const std::string &v, DeviceConfig &c) { return parseNumber(v, 16, 0xFFFF, c.productId); }},
    {"release", [](const std::string &v, DeviceConfig &c) { return parseNumber(v, 16, 0xFFFF, c.releaseNumber); }},
    {"interface", [](const std::string &v, DeviceConfig &c) { return parseNumber(v, 10, 255, c.interfaceNumber); }},
    {"manufacturer", [](const std::string &v, DeviceConfig &c) { return c.manufacturer = wideText(v), true; }},
    {"product", [](const std::string &v, DeviceConfig &c) { return c.product = wideText(v), true; }},
    {"serial", [](const std::string &v, DeviceConfig &c) { return c.serial = wideText(v), true; }},
    {"firmware", [](const std::string &v, DeviceConfig &c) { return c.firmware = v, v.size() == 7; }},
    {"microcode", [](const std::string &v, DeviceConfig &c) { return c.microcode = v, v.size() == 7; }},
    {"open", [](const std::string &v, DeviceConfig &c) { return c.openFails = v == "fails", c.openFails || v == "ok"; }},
    {"fail", [](const std::string &v, DeviceConfig &c) {
         const size_t colon = v.find(':');
         return lookUp(kSteps, v.substr(0, colon), c.failStep)
             && (colon == std::string::npos || lookUp(kFaults, v.substr(colon + 1), c.fault));
     }},
};

}

bool parseDeviceKeys(const std::string &keys, DeviceConfig &config, std::string &error)
{
    std::string normalised = keys;
    std::replace(normalised.begin(), normalised.end(), ',', ' ');
    std::istringstream words(normalised);
    std::string word;
    while (words >> word) {
        const size_t eq = word.find('=');
        KeyValue apply = nullptr;
        if (eq == std::string::npos) {
            error = "expected key=value: " + word;
            return false;
        }
        if (!lookUp(kKeys, word.substr(0, eq), apply)) {
            error = "unknown key: " + word.substr(0, eq);
            return false;
        }
        if (!apply(word.substr(eq + 1), config)) {
            error = "bad value: " + word;
            return false;
        }
    }
    return true;
}

bool parseSetArguments(const std::string &arguments, long &index, std::string &keys)
{
    std::istringstream words(arguments);
    std::string first;
    if (!(words >> first))
        return false;
    index = -1;
    if (std::all_of(first.begin(), first.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        index = std::stol(first.substr(0, 9));
        if (!(words >> first))
            return false;
    }
    keys = first;
    std::string more;
    while (words >> more)
        keys += ' ' + more;
    return true;
}

EmulatedDevice::EmulatedDevice(DeviceConfig config)
    : m_config(std::move(config))
{
}

void EmulatedDevice::reset()
{
    m_probed = m_selected = m_informationAsked = false;
    m_scriptPosition = 0;
}

void EmulatedDevice::wait() const
{
    if (m_config.delay.count() <= 0)
        return;
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(m_config.delay);
    m_waited += std::chrono::steady_clock::now() - start;
}

std::vector<unsigned char> EmulatedDevice::probeReply() const
{
    std::vector<unsigned char> report = {0x81, 0x46, 0x55, 0xFF};
    if (faultAt(Step::ProbeReply) && m_config.fault == Fault::WrongSignature)
        report = {0x81, 0x00, 0x00, 0x00};
    for (unsigned char i = 4; i < 28; ++i)     // module table: what the select packet must echo
        report.push_back(static_cast<unsigned char>(0x10 + i));
    report.resize(kProbeReplyLength);
    return report;
}

std::vector<unsigned char> EmulatedDevice::informationReport() const
{
    std::vector<unsigned char> report = {0x12, 0x46, 0x55, 0x90, 0x00, 'R', 'T', '4', '8', 'P', 'X'};
    report.resize(kInformationLength);
    putField(report, 28, m_config.firmware);
    putField(report, 35, m_config.microcode);
    report[50] = (faultAt(Step::Information) && m_config.fault == Fault::ZeroReady) ? 0x00 : 0x01;
    return report;
}

int EmulatedDevice::sendFeature(const unsigned char *data, size_t length)
{
    wait();
    if (!data || length == 0 || m_config.kind == Kind::Mute)
        return -1;
    if (m_config.kind == Kind::Scripted)
        return scripted(nullptr, length);
    if (m_config.kind == Kind::Foreign)
        return static_cast<int>(length);

    const int taken = static_cast<int>(length);
    switch (data[0]) {
    case 0x01:
        if (faultAt(Step::Probe) || !startsWith(data, length, kProbe, sizeof kProbe))
            return -1;
        m_probed = true;
        m_selected = m_informationAsked = false;
        return taken;
    case 0x82: {
        if (faultAt(Step::Select) || !m_probed || length < kSelectLength)
            return -1;
        const std::vector<unsigned char> packet(data, data + kSelectLength);
        const std::vector<unsigned char> reply = probeReply();
        if (packet[3] != 0x80 || packet[28] != checksum(packet, 28))
            return -1;
        for (size_t i = 1; i < 28; ++i) {
            if (i != 3 && packet[i] != reply[i])
                return -1;
        }
        m_selected = true;
        return taken;
    }
    case 0x92:
        if (faultAt(Step::InformationRequest) || !m_selected
            || !startsWith(data, length, kInformationRequest, sizeof kInformationRequest))
            return -1;
        m_informationAsked = true;
        return taken;
    case 0xA2:
        if (faultAt(Step::Command) || !startsWith(data, length, kCommandA0, sizeof kCommandA0))
            return -1;
        ++m_commands;
        reset();
        return taken;
    default:
        return -1;
    }
}

int EmulatedDevice::scripted(unsigned char *data, size_t length)
{
    if (m_scriptPosition >= m_config.script.size())
        return -1;
    const ScriptedAnswer &next = m_config.script[m_scriptPosition++];
    if (data) {
        const size_t count = std::min(length, next.bytes.size());
        std::copy(next.bytes.begin(), next.bytes.begin() + static_cast<long>(count), data);
    }
    return std::min(next.result, static_cast<int>(std::min<size_t>(length, 0x7FFFFFFF)));
}

int EmulatedDevice::answer(Step step, std::vector<unsigned char> report, unsigned char *data, size_t length)
{
    seal(report);
    size_t count = std::min(length, report.size());
    if (faultAt(step)) {
        switch (m_config.fault) {
        case Fault::Negative:
            return -1;
        case Fault::Empty:
            return 0;
        case Fault::Short:
            count = std::min(count, report.size() / 2);
            break;
        default:
            break;
        }
    }
    std::copy(report.begin(), report.begin() + static_cast<long>(count), data);
    return static_cast<int>(count);
}

int EmulatedDevice::getFeature(unsigned char *data, size_t length)
{
    wait();
    if (!data || length == 0 || m_config.kind == Kind::Mute)
        return -1;
    if (m_config.kind == Kind::Scripted)
        return scripted(data, length);
    if (m_config.kind == Kind::Foreign) {
        std::fill(data + 1, data + length, 0xAA);
        return static_cast<int>(length);
    }
    const bool badStatus = faultAt(Step::Status) && m_config.fault == Fault::BadStatus;
    switch (data[0]) {
    case 0x81:
        return m_probed ? answer(Step::ProbeReply, probeReply(), data, length) : -1;
    case 0x22:
        return m_probed ? answer(Step::Confirmation, {0x22, 0x46, 0x55, 0xFF, 0x4F, 0x4B, 0x00}, data, length) : -1;
    case 0x02:
        return m_selected ? answer(Step::Status, {0x02, 0x46, 0x55, 0x80, static_cast<unsigned char>(badStatus ? 3 : 1), 0x00}, data, length)
                          : -1;
    case 0x12:
        return m_informationAsked ? answer(Step::Information, informationReport(), data, length) : -1;
    default:
        return -1;
    }
}

}
