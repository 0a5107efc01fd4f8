#include "QSingleApplication.h"

#include "UserLocalServer.h"

#include <QDebug>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>

#include <memory>

namespace {
const QString kOrganisation = QStringLiteral("VELM");
const QString kApplication = QStringLiteral("VELM Upvane");
constexpr int kConnectTimeoutMs = 500;
constexpr int kWriteTimeoutMs = 30000;
constexpr int kReadTimeoutMs = 1000;
}

QSingleApplication::QSingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setIdentity();
    QString problem;
    const QString address = UserLocalServer::address(serverName(), &problem);
    if (address.isEmpty()) {
        qCritical().noquote() << QStringLiteral("Upvane cannot start: no private folder for its sockets: %1").arg(problem);
        m_canRun = false;
        return;
    }

    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(address, QIODevice::ReadWrite);
    if (socket->waitForConnected(kConnectTimeoutMs)) {
        QTextStream stream(socket.get());
        const QStringList args = QCoreApplication::arguments();
        const QString message = args.size() > 1 ? args.last() : QString();
        stream << message;
        stream.flush();
        qDebug() << "Have already connected to server.";
        socket->waitForBytesWritten(kWriteTimeoutMs);
        m_isRunning = true;
        return;
    }

    // Only this user's later starts may hand over to this instance.
    m_localServer = new QLocalServer(this);
    connect(m_localServer, &QLocalServer::newConnection, this, &QSingleApplication::newLocalConnection);
    UserLocalServer::listen(*m_localServer, address);
}

void QSingleApplication::setIdentity()
{
    QCoreApplication::setOrganizationName(kOrganisation);
    QCoreApplication::setApplicationName(kApplication);
}

QString QSingleApplication::serverName()
{
    return QCoreApplication::organizationName() + QCoreApplication::applicationName();
}

bool QSingleApplication::isRunning() const
{
    return m_isRunning;
}

bool QSingleApplication::canRun() const
{
    return m_canRun;
}

void QSingleApplication::newLocalConnection()
{
    std::unique_ptr<QLocalSocket> socket(m_localServer->nextPendingConnection());
    if (!socket)
        return;
    socket->waitForReadyRead(kReadTimeoutMs);
    QTextStream stream(socket.get());
    QString value;
    stream >> value;
    qDebug().noquote() << QStringLiteral("The value is: %1").arg(value);
    socket.reset();
    emit activeAP();
}
