#pragma once

#include <QVariantMap>
#include <QVector>

// What one search made of one HID device, in hidapi's order.
struct SeenDevice
{
    enum class Outcome {
        NotOpened,   // hid_open_path failed (no access, or gone)
        Refused,     // opened, but failed the identification exchange
        Accepted,    // the RT48PX: took the whole exchange
        NotAsked,    // listed after the accepted device, never opened
    };

    QVariantMap record;   // the device record as devlist carries it ("ucode" set for the accepted one)
    Outcome outcome = Outcome::NotAsked;
};

using SeenDevices = QVector<SeenDevice>;
