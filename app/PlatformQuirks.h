#pragma once

#include <QString>

class QFile;
class QWindow;

// The few things the application shell does differently on Windows and
// elsewhere, one small function each (PlatformQuirks_win.cpp, _unix.cpp).
namespace PlatformQuirks {

// Sets the rounding of fractional screen scales for the application to come;
// call before the application object exists. Cannot fail.
void chooseScaleRounding();

// Makes the product version known to QCoreApplication::applicationVersion()
// (Windows: Qt reads the executable's version record; elsewhere the version the
// build handed in). Call once the application object exists. Never fails.
void applyVersion();

// Windows: a GUI program whose standard output goes nowhere attaches to the
// console of the program that started it and writes there in UTF-8. Elsewhere
// nothing. Never fails: without a parent console the output is lost.
void attachToParentConsole();

// What to tell a user whose HID devices could not be opened, one or more lines
// each ending in a line break.
QString accessHint();

// Restores `window` to its normal state, shows it and puts it in front of all
// other windows once: never kept on top, position and size unchanged. Does
// nothing for a null window; the result of the platform call is ignored.
void bringToFront(QWindow *window);

// Whether a wizard instance listens at the single-instance address `address`
// (UserLocalServer::address), asked without connecting: a connection would make
// it log a hand-over and raise its window. Linux: the socket file is there and a
// socket bound in its private folder listens (the kernel's list), so a file left
// behind by a program that died does not count. Windows: a pipe of that name
// exists. False when it cannot be told: never fails.
bool isListening(const QString &address);

// Opens `path` for reading and appending into `file`, creating it (readable by
// its owner only, on Unix) where it is missing, never through a symbolic link
// (Unix) or reparse point (Windows) in its own name. Returns false with `file`
// closed when it is a link, not a regular file, or cannot be opened.
bool openAppendNoFollow(QFile &file, const QString &path);

}
