#include "app/qt/single_instance.h"

#include <QLocalSocket>
#include <QStandardPaths>

#include <memory>
#include <utility>

namespace zb::ui {

namespace {

constexpr int kWaitMs = 1000;

} // namespace

QString TSingleInstance::defaultName() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/zorbel.socket");
}

bool TSingleInstance::handOver(const QString& name, const std::vector<std::string>& arguments) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kWaitMs))
        return false;
    QByteArray message;
    for (const std::string& argument : arguments) {
        message.append(argument.data(), static_cast<qsizetype>(argument.size()));
        message.append('\0');
    }
    socket.write(message);
    if (!socket.waitForBytesWritten(kWaitMs) && socket.bytesToWrite() > 0)
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWaitMs);
    return true;
}

bool TSingleInstance::listen(const QString& name, TReceiver onArguments) {
    receiver = std::move(onArguments);
    // A player that answers keeps its socket; one nobody answers on is left over from a player
    // that crashed and goes. (Listening alone would not tell: with the access option the server
    // is made aside and moved into place, over whatever is there.)
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(kWaitMs / 4))
        return false;
    QLocalServer::removeServer(name);
    // Only the user may hand files to the player.
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name))
        return false;
    QObject::connect(&server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [socket, buffer] { buffer->append(socket->readAll()); });
            QObject::connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
                buffer->append(socket->readAll());
                std::vector<std::string> arguments;
                for (const QByteArray& part : buffer->split('\0'))
                    if (!part.isEmpty())
                        arguments.push_back(part.toStdString());
                socket->deleteLater();
                if (receiver)
                    receiver(arguments);
            });
        }
    });
    return true;
}

} // namespace zb::ui
