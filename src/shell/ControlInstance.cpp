// SPDX-License-Identifier: MIT
#include "shell/ControlInstance.h"

#include "platform/SingleInstance.h"
#include "shell/ShellLog.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace ControlInstance {

namespace {

const char kRaiseRequest[] = "raise\n";
const char kRaiseReply[] = "ok\n";
constexpr int kTalkTimeoutMs = 3000;

} // namespace

QString DefaultInstanceDirectory()
{
    return QString::fromStdString(platform::InstanceDirectory());
}

TInstanceGuard::TInstanceGuard(QString dir, QObject *parent)
    : QObject(parent), FDir(std::move(dir)), FSystemGuard(std::make_unique<platform::SystemInstanceGuard>())
{
    if (FDir.isEmpty())
        FDir = DefaultInstanceDirectory();
}

TInstanceGuard::~TInstanceGuard()
{
    Release();
}

QString TInstanceGuard::LockPath() const
{
    return FDir + QStringLiteral("/velmora.lock");
}

QString TInstanceGuard::SocketPath() const
{
    return FDir + QStringLiteral("/velmora.socket");
}

void TInstanceGuard::Release()
{
    if (FServer) {
        FServer->close();
        FServer.reset();
    }
    if (FLock) {
        FLock->unlock();
        FLock.reset();
    }
    FSystemGuard->Release();
}

TInstanceCheck TInstanceGuard::Acquire()
{
    switch (FSystemGuard->Acquire()) {
    case platform::SystemInstanceGuard::Check::First:
        return TInstanceCheck::First;
    case platform::SystemInstanceGuard::Check::HandedOver:
        return TInstanceCheck::HandedOver;
    case platform::SystemInstanceGuard::Check::OtherRunning:
        return TInstanceCheck::OtherRunning;
    case platform::SystemInstanceGuard::Check::Failed:
        return TInstanceCheck::Failed;
    case platform::SystemInstanceGuard::Check::NotProvided:
        break;
    }
    // No guard from the system: a lock file, and a socket for the hand-over.
    if (FDir.isEmpty())
        return TInstanceCheck::Failed;
    auto lock = std::make_unique<QLockFile>(LockPath());
    // The lock is held for the whole life of the widget: it must never turn
    // stale by age, only when its process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        FLock = std::move(lock);
        Listen();
        return TInstanceCheck::First;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return TInstanceCheck::Failed;
    std::unique_ptr<QLocalSocket> socket = FindRunningInstance(SocketPath());
    if (socket && BringInstanceToFront(*socket))
        return TInstanceCheck::HandedOver;
    return TInstanceCheck::OtherRunning;
}

void TInstanceGuard::Listen()
{
    // The lock is ours, so a socket file left here belongs to a dead instance.
    QLocalServer::removeServer(SocketPath());
    FServer = std::make_unique<QLocalServer>();
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(FServer.get(), &QLocalServer::newConnection, this, &TInstanceGuard::ServeConnection);
    if (!FServer->listen(SocketPath()))
        qCWarning(lcShell) << "instance socket" << SocketPath() << ":" << FServer->errorString();
}

void TInstanceGuard::ServeConnection()
{
    while (QLocalSocket *socket = FServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A request is one short line; anything longer is not ours.
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 64)
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(64);
            if (line == kRaiseRequest) {
                socket->write(kRaiseReply);
                socket->flush();
                emit RaiseRequested();
            } else {
                socket->abort();
            }
        });
    }
}

std::unique_ptr<QLocalSocket> FindRunningInstance(const QString &socketPath)
{
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(socketPath);
    if (!socket->waitForConnected(kTalkTimeoutMs))
        return nullptr;
    return socket;
}

bool BringInstanceToFront(QLocalSocket &socket)
{
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(kTalkTimeoutMs))
        return false;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kTalkTimeoutMs))
            return false;
    }
    return socket.readLine(64) == kRaiseReply;
}

int CheckSingleInstance(TInstanceGuard &guard)
{
    switch (guard.Acquire()) {
    case TInstanceCheck::First:
        return -1;
    case TInstanceCheck::HandedOver:
        return 0;
    case TInstanceCheck::OtherRunning:
        platform::WriteDiagnostic("Otra instancia ya se está ejecutando.");
        return 0;
    case TInstanceCheck::Failed:
        break;
    }
    platform::WriteDiagnostic("No se pudo crear el mutex de instancia única.");
    return 1;
}

} // namespace ControlInstance
