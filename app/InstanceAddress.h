#pragma once

#include <QString>

// Where the single-instance server of a given name lives on this platform.
class InstanceAddress
{
public:
    // The address to listen on and connect to for `serverName`. Windows: the name
    // itself (a per-session pipe name). Elsewhere: a socket file in the user's
    // private socket folder (SocketFolder), so each user has an instance of their
    // own and no one else can reach it. Returns an empty address, with `problem`
    // saying why, when there is no such folder.
    static QString forName(const QString &serverName, QString *problem);
};
