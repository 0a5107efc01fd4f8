#pragma once

#include <QByteArray>
#include <QString>

// What the wizard needs from the system it runs on: its folders, the system's
// own programs, where local servers live and a look at a device node. Plain
// functions; the per-system ones are in HostSystem_win.cpp / HostSystem_unix.cpp.
namespace HostSystem {

// The folder the program ships in, where config.ini, data.ini, Report/ and
// upgradefile/ are looked for (forward slashes, no trailing slash): the
// executable's own folder unless setProgramFolder named another (tests and
// tools; QML cannot reach it). Never fails.
QString programFolder();
// Makes `folder` the program folder from now on; an empty one restores the executable's.
void setProgramFolder(const QString &folder);

// The user's application-data folder (Qt's writable AppDataLocation, forward
// slashes, no trailing slash), created with its parents when missing. Never
// fails: a folder that cannot be created is not detected, the path is returned
// all the same and later file operations fail.
QString appDataFolder();

// The folder this user's local servers live in, where they are files: one that
// is the user's own and that no one else may enter. Windows: "" (local servers
// are pipes of the session, named by their name alone). Elsewhere:
// $XDG_RUNTIME_DIR when it is such a folder; otherwise "upvane-<uid>" in the
// temporary folder, made with mode 0700 when missing and held to the same test.
// Returns "" with `problem` set to a sentence saying why when neither is private.
QString socketFolder(QString *problem);

// Fills `listing` with the names of the running programs, in no particular form
// beyond containing each name whole. Windows: the output of "tasklist.exe" (up to
// 30000 ms, blocking). Elsewhere: for every process in /proc, its short name and
// the file name of its first argument, one process per line. Returns false
// (listing untouched) when the lister cannot start, does not finish in time, or
// the process table cannot be read.
bool taskList(QByteArray *listing);

// The program that shows a text file given as its only argument: "notepad.exe" on
// Windows, the desktop's opener "xdg-open" elsewhere; found through the search path.
QString textEditor();

// True when the device node `path` (a hidapi path) opens but the device behind it
// no longer answers (HIDIOCGRDESCSIZE fails: it was unplugged while its node
// lingers). False when it answers, when it does not open at all, and on systems
// whose hidapi paths are not device nodes (Windows). Never fails otherwise.
bool deviceNodeLingers(const char *path);

}
