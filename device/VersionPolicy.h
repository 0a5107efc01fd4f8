#pragma once

#include <QString>

class QSettings;

// The micro-code policy kept in config.ini beside the program. All keys stand at
// the top level, all values are text:
//   "deviceFW_Ver"   firmware version the shipped upgrade brings (read only)
//   "u_Code_Ver"     micro-code version the shipped upgrade brings (read only)
//   "needUp4k"       micro-code version a device must have to skip the
//                    micro-code stage; written as "1.1.104" only when absent
//   "compareStatus"  "true" or "false" (case-sensitive); "false" switches the
//                    check off; absent or anything else is written as "true"
// Nothing here ever deletes a key or rewrites a key that holds a valid value.
namespace VersionPolicy {

// A literal as a Latin-1 text known at compile time (its length too: strlen
// is not a constant expression for every compiler).
template <int N>
constexpr QLatin1String latin1(const char (&text)[N])
{
    return QLatin1String(text, N - 1);
}

// The keys, and the "needUp4k" written where it is absent.
constexpr QLatin1String FirmwareKey = latin1("deviceFW_Ver");
constexpr QLatin1String MicrocodeKey = latin1("u_Code_Ver");
constexpr QLatin1String NeedUp4kKey = latin1("needUp4k");
constexpr QLatin1String CompareStatusKey = latin1("compareStatus");
constexpr QLatin1String NeedUp4kDefault = latin1("1.1.104");

// The settings file: HostSystem::programFolder() + "/config.ini".
QString settingsPath();

// Makes `settings` (an IniFormat QSettings on settingsPath(), no group) read and
// write the file as UTF-8, with or without a byte-order mark, as Windows editors
// save it; call it before reading any value. A file that starts with the mark is
// rewritten without it when `settings` synchronises. ASCII files read and are
// written exactly as without it. Never fails.
void useUtf8(QSettings &settings);

// Compares two dotted version texts component by component as base-10 integers
// (a component that is empty or no number counts as 0; missing trailing
// components count as 0, so 1.1.104 equals 1.1.104.0). Returns 1 when a is
// higher, -1 when a is lower, 0 when they are equal. Never fails.
int compareVersion(QString a, QString b);

// The settings repair that start-up and every accepted device share. On the
// open `settings` (an IniFormat QSettings on settingsPath(), no group):
//   1. "needUp4k" absent            -> set to "1.1.104"
//   2. "compareStatus" absent       -> set to "true"
//   3. "compareStatus" neither exactly "true" nor "false" -> set to "true"
// Returns the effective "compareStatus" value: true when the micro-code check is
// on, false only for "false". Read "deviceFW_Ver" and "u_Code_Ver" BEFORE calling
// it if their first values matter (it writes neither). Writes reach the file when
// the QSettings object synchronises; a file that cannot be written is not an
// error (the values are still used). Never fails.
bool repairSettings(QSettings &settings);

// The whole check for an accepted device whose micro-code version is `upVer`:
// repairSettings(settings); then, when the check is on, compares `upVer` with
// every "V" removed (a "v" stays) against "needUp4k". Returns true when the
// device needs the micro-code stage, i.e. when the versions differ (lower OR
// higher); false when they are equal or the check is off. Never fails.
bool needsMicrocodeUpgrade(QSettings &settings, const QString &upVer);

}
