#pragma once

#include <QString>

// How the wizard reads a status text: the part before the first ":" taken as a
// JavaScript Number(). Pure functions, no I/O.
class StatusCode
{
public:
    // Whether the status text is a final report, one that ends the stage: its
    // number is 0 (failure; an empty or blank text counts as 0), 1 (done) or 2
    // (failure). Never fails.
    static bool isFinal(const QString &text);
};
