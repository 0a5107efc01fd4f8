#pragma once

#include <QString>

// The text channels of a command run from a terminal.
class Console
{
public:
    // Windows: the program is a GUI program without a console of its own; when
    // its standard output goes nowhere, it attaches to the console of the
    // program that started it (a command prompt) and writes there in UTF-8.
    // Elsewhere nothing to do. Never fails: without a parent console the output
    // is lost, as before.
    static void attachToParent();

    // What to tell a user whose HID devices could not be opened, one or more
    // lines ending in a line break.
    static QString accessHint();
};
