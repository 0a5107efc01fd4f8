#pragma once

#include <QString>

// How the wizard reads a status text: the part before the first ":" is its code.
// Pure functions, no I/O.
class StatusCode
{
public:
    // Whether the status text is a final report, one that ends the stage: its
    // code, blanks around it aside, is 0 (failure; an empty or blank code counts
    // as 0), 1 (done) or 2 (failure), in decimal digits (leading zeros allowed).
    // Anything else ("3", "12", "1x", "-1") is not. Never fails.
    static bool isFinal(const QString &text);
};
