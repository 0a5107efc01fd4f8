#include "UserLocalServer.h"

#include <QLocalServer>
#include <QLocalSocket>

UserLocalServer::Listen UserLocalServer::listen(QLocalServer &server, const QString &address)
{
    // Connecting is answered or refused at once: there is no network in between.
    QLocalSocket probe;
    probe.connectToServer(address);
    if (probe.state() != QLocalSocket::UnconnectedState)
        return Listen::ServedElsewhere;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(address) && server.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(address);   // left over by a program that ended without closing
        server.listen(address);
    }
    return server.isListening() ? Listen::Listening : Listen::Failed;
}
