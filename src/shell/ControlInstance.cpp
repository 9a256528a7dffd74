// SPDX-License-Identifier: MIT
#include "shell/ControlInstance.h"

#include "shell/ShellLog.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <cstdio>

#ifdef _WIN32
#include "platform/win/WinInstance.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ControlInstance {

namespace {

const char kRaiseRequest[] = "raise\n";
const char kRaiseReply[] = "ok\n";
constexpr int kTalkTimeoutMs = 3000;

void DebugOutput(const char *text)
{
#ifdef _WIN32
    // platform::win::CheckSingleInstance has written the text to the debugger
    // output already.
    (void)text;
#else
    std::fputs(text, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
#endif
}

} // namespace

QString DefaultInstanceDirectory()
{
#ifdef _WIN32
    return QString();
#else
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    // Without a runtime directory: a private directory in /tmp. Another user
    // could have created it first, so it is used only when it is ours, not a
    // link, and closed to others.
    const QByteArray dir = QStringLiteral("/tmp/velmora-%1").arg(::getuid()).toLocal8Bit();
    ::mkdir(dir.constData(), 0700);
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0)
        return QString();
    return QString::fromLocal8Bit(dir);
#endif
}

TInstanceGuard::TInstanceGuard(QString dir, QObject *parent) : QObject(parent), FDir(std::move(dir))
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
#ifdef _WIN32
    FMutex.reset();
#endif
}

#ifdef _WIN32

TInstanceCheck TInstanceGuard::Acquire()
{
    // The mutex is taken (or found taken) on creation; when another process
    // holds it, CheckSingleInstance raises that process's window and closes
    // this handle.
    FMutex = std::make_unique<platform::win::WinInstanceMutex>();
    switch (platform::win::CheckSingleInstance(*FMutex)) {
    case platform::win::InstanceCheck::First:
        return TInstanceCheck::First;
    case platform::win::InstanceCheck::AnotherRunning:
        FMutex.reset();
        return TInstanceCheck::HandedOver;
    case platform::win::InstanceCheck::Failed:
        break;
    }
    FMutex.reset();
    return TInstanceCheck::Failed;
}

void TInstanceGuard::Listen() {}
void TInstanceGuard::ServeConnection() {}

std::unique_ptr<QLocalSocket> FindRunningInstance(const QString &)
{
    return nullptr;
}

bool BringInstanceToFront(QLocalSocket &)
{
    return false;
}

#else

TInstanceCheck TInstanceGuard::Acquire()
{
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

#endif

int CheckSingleInstance(TInstanceGuard &guard)
{
    switch (guard.Acquire()) {
    case TInstanceCheck::First:
        return -1;
    case TInstanceCheck::HandedOver:
        return 0;
    case TInstanceCheck::OtherRunning:
        DebugOutput("Otra instancia ya se está ejecutando.");
        return 0;
    case TInstanceCheck::Failed:
        break;
    }
    DebugOutput("No se pudo crear el mutex de instancia única.");
    return 1;
}

} // namespace ControlInstance
