#include "gui/single_instance.h"

#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr int kConnectTimeoutMs = 1000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");
} // namespace

QString TSingleInstance::DefaultName() {
    return QStringLiteral("norvoisp-%1").arg(::getuid());
}

TSingleInstance::TSingleInstance(QString name, QObject* owner) : QObject(owner), FName(std::move(name)) {}

bool TSingleInstance::ActivateRunning() {
    {
        QLocalSocket socket;
        socket.connectToServer(FName);
        if (socket.waitForConnected(kConnectTimeoutMs)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(kConnectTimeoutMs);
            socket.disconnectFromServer();
            return true;
        }
    }
    FServer = new QLocalServer(this);
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServer->listen(FName)) {
        // Nobody answered, so the name is a leftover of an instance that
        // did not end cleanly.
        QLocalServer::removeServer(FName);
        FServer->listen(FName);
    }
    connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
    return false;
}

void TSingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto read = [this, socket] {
            if (socket->readAll().contains("activate")) emit ActivationRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        if (socket->bytesAvailable() > 0) read();
    }
}
