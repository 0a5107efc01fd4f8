#pragma once

#include "SeenDevice.h"

#include <QByteArray>
#include <QString>

// What `upvane --probe` found, and how it is told: as text for a person or as
// one JSON object (docs/probe.schema.json). No I/O.
class ProbeReport
{
public:
    // Utf16: read, but never rewritten; ForeignEncoding: neither read nor rewritten.
    enum class ConfigState { Ok, Missing, Unreadable, Malformed, Utf16, ForeignEncoding };

    struct Config
    {
        QString path;
        ConfigState state = ConfigState::Missing;
        QString firmware;        // "deviceFW_Ver": what the upgrade brings
        QString microcode;       // "u_Code_Ver"
        QString needUp4k;        // as the wizard uses it ("1.1.104" when absent)
        bool checkOn = true;     // "compareStatus" as the wizard uses it
    };

    QString program;             // "VELM Upvane"
    QString version;             // "1.1.107.1"
    bool wizardRunning = false;  // refused: no search was made
    Config config;
    SeenDevices devices;         // the search, in hidapi's order
    QString firmware;            // of the accepted device
    QString microcode;

    // The accepted device, or null.
    const SeenDevice *rt48px() const;
    // Every error, one line each: the wizard runs, config.ini cannot be read,
    // no HID device could be opened.
    QStringList errors() const;
    // True when devices were not opened and the RT48PX was not found: the hint
    // on access rights applies.
    bool accessMayHideIt() const;
    // 2 with any error, else 0 when the RT48PX was found, 1 when not.
    int exitCode() const;

    // The text for a person (standard output); errors are not in it.
    QString text() const;
    // The JSON object, indented, ending in a line break.
    QByteArray json() const;
};
