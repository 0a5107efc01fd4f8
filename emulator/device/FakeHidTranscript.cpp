#include "FakeHidTranscript.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string hex4(unsigned short value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string pathText(const std::string &path)
{
    return path.empty() ? std::string("-") : path;
}

std::string bytesText(const std::vector<unsigned char> &bytes, size_t count)
{
    return Rt48px::hex(bytes.data(), std::min(count, bytes.size()));
}

}

namespace FakeHid {

std::string transcriptLine(const Call &call)
{
    const std::string device = "device " + std::to_string(call.device);
    const std::string result = "result " + std::to_string(call.result);
    if (call.function == "hid_init")
        return "hid_init " + result;
    if (call.function == "hid_exit")
        return "hid_exit";
    if (call.function == "hid_enumerate")
        return "hid_enumerate " + hex4(call.vendorId) + ' ' + hex4(call.productId) + " listed "
            + std::to_string(call.result);
    if (call.function == "hid_free_enumeration")
        return "hid_free_enumeration " + result;
    if (call.function == "hid_open_path")
        return "hid_open_path " + device + ' ' + pathText(call.path) + ' ' + result;
    if (call.function == "hid_close")
        return "hid_close " + device;
    const std::string length = "length " + std::to_string(call.length);
    const bool send = call.function == "hid_send_feature_report";
    if (send || call.function == "hid_get_feature_report") {
        std::string line = device + ' ' + pathText(call.path) + (send ? " send " : " get ") + length + ' ' + result
            + ": " + bytesText(call.bytes, call.length);
        if (!send && call.result > 0)
            line += " -> " + bytesText(call.reply, static_cast<size_t>(call.result));
        return line;
    }
    std::string line = call.function + ' ' + device + ' ' + length + ' ' + result;
    if (!call.bytes.empty())
        line += ": " + bytesText(call.bytes, call.length);
    return line;
}

}
