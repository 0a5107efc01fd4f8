#pragma once

// The device node behind a hidapi path, looked at before hidapi opens it.
class DeviceNode
{
public:
    // True when `path` opens but the device behind it no longer answers
    // (HIDIOCGRDESCSIZE fails: it was unplugged while its node lingers). False
    // when it answers, when it does not open at all, and on systems whose paths
    // are not device nodes. Never fails otherwise.
    static bool lingers(const char *path);
};
