#include "UserLocalServer.h"

#include "HostSystem.h"

#include <QLocalServer>
#include <QLocalSocket>

QString UserLocalServer::address(const QString &name, QString *problem)
{
    QString why;
    const QString folder = HostSystem::socketFolder(&why);
    if (!why.isEmpty()) {
        if (problem)
            *problem = why;
        return QString();
    }
    return folder.isEmpty() ? name : folder + QLatin1Char('/') + name;
}

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
