#pragma once

#include <QString>

// Whether a wizard instance is running, asked without connecting to it: the
// running instance never learns of the question (a connection would make it
// log a hand-over and raise its window).
class RunningInstance
{
public:
    // True when something listens at the single-instance address `address`
    // (UserLocalServer::address). Linux: the socket file there belongs to a
    // listening socket (the kernel's socket diagnostics); a file left behind by a
    // program that died does not count. Windows: a pipe of that name exists.
    // False when it cannot be told: never fails.
    static bool isListening(const QString &address);
};
