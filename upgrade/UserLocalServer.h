#pragma once

#include <QString>

class QLocalServer;

// A local server that only this user can reach: the single-instance hand-over
// and, where there are no window messages, the status channel.
class UserLocalServer
{
public:
    enum class Listen { Listening, ServedElsewhere, Failed };

    // The address for `name`. Windows: the name itself (a pipe of this session).
    // Elsewhere: a socket file in the user's private SocketFolder. Returns "",
    // with `problem` saying why, when there is no such folder.
    static QString address(const QString &name, QString *problem = nullptr);

    // Makes `server` user-only and listens at `address`. Never takes an address
    // that a running program serves (ServedElsewhere); a socket file left over
    // without a listener is replaced. Failed leaves the reason in
    // server.errorString().
    static Listen listen(QLocalServer &server, const QString &address);
};
