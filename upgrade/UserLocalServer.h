#pragma once

#include <QString>

class QLocalServer;

// A local server that only this user can reach: the single-instance hand-over
// and, where there are no window messages, the status channel.
class UserLocalServer
{
public:
    enum class Listen { Listening, ServedElsewhere, Failed };

    // The address for `name`: the name itself where local servers are pipes of the
    // session (Windows), else a socket file in HostSystem::socketFolder(). Returns
    // "", with `problem` saying why, when there is no private folder for it.
    static QString address(const QString &name, QString *problem = nullptr);

    // Makes `server` user-only and listens at `address`. Never takes an address
    // that a running program serves (ServedElsewhere); a socket file left over
    // without a listener is replaced. Failed leaves the reason in
    // server.errorString().
    static Listen listen(QLocalServer &server, const QString &address);
};
