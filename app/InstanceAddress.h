#pragma once

#include <QString>

// Where the single-instance server of a given name lives on this platform.
class InstanceAddress
{
public:
    // The address to listen on and connect to for `serverName`. Windows: the name
    // itself (a per-session pipe name). Elsewhere: a socket file in the user's own
    // runtime folder, so each user has an instance of their own. Never fails; an
    // unusable runtime folder makes the later listen fail instead.
    static QString forName(const QString &serverName);
};
