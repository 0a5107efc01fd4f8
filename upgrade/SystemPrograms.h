#pragma once

#include <QByteArray>
#include <QString>

// The system's own programs that ProcessInfo relies on.
class SystemPrograms
{
public:
    // Fills `listing` with the names of the running programs, in no particular
    // form beyond containing each name whole. Windows: the output of
    // "tasklist.exe" (up to 30000 ms, blocking). Elsewhere: for every process
    // in /proc, its short name and the file name of its first argument, one
    // process per line. Returns false (listing untouched) when the lister cannot
    // start, does not finish in time, or the process table cannot be read.
    static bool taskList(QByteArray *listing);

    // The program that shows a text file given as its only argument: "notepad.exe"
    // on Windows, the desktop's opener "xdg-open" elsewhere; found through the
    // search path.
    static QString textEditor();
};
