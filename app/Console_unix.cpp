#include "Console.h"

void Console::attachToParent()
{
}

QString Console::accessHint()
{
    return QStringLiteral(
        "hint: the program needs read and write access to the switch's /dev/hidraw node. As root,\n"
        "      give the logged-in user access to it alone with a udev rule in\n"
        "      /etc/udev/rules.d/70-rt48px.rules (the vendor id from lsusb):\n"
        "        SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"<vendor id>\", TAG+=\"uaccess\"\n"
        "      then run: udevadm control --reload && udevadm trigger, and reconnect the switch\n"
        "      (README, \"With a real RT48PX on Linux\").\n");
}
