// SPDX-License-Identifier: MIT
#include "shell/ControlInstance.h"

#include "platform/SingleInstance.h"
#include "shell/ShellLog.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>

namespace ControlInstance {

namespace {

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
    FBusName.reset();
    while (!FConnections.empty())
        DropConnection(FConnections.begin()->first);
    FServerNotifier.reset();
    FServer.reset();
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
    // No guard from the system: the lock file, with or without a session
    // bus, and the bus for the hand-over only.
    switch (TakeLockFile()) {
    case TLock::Taken:
        Listen();
        TakeBusNameBesideTheLock();
        return TInstanceCheck::First;
    case TLock::HeldElsewhere:
        if (BringInstanceToFront(SocketPath()) || InstanceBus::ActivateOverBus())
            return TInstanceCheck::HandedOver;
        return TInstanceCheck::OtherRunning;
    case TLock::Impossible:
        break;
    }
    return AcquireBusNameAlone();
}

TInstanceGuard::TLock TInstanceGuard::TakeLockFile()
{
    if (FDir.isEmpty())
        return TLock::Impossible;
    auto lock = std::make_unique<QLockFile>(LockPath());
    // The lock is held for the whole life of the widget: it must never turn
    // stale by age, only when its process is gone.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        FLock = std::move(lock);
        return TLock::Taken;
    }
    return lock->error() == QLockFile::LockFailedError ? TLock::HeldElsewhere : TLock::Impossible;
}

void TInstanceGuard::TakeBusNameBesideTheLock()
{
    // The name only lets the desktop reach this instance: another program
    // holding it keeps the widget from nothing.
    if (InstanceBus::AcquireBusName([this] { emit RaiseRequested(); }, FBusName) == InstanceBus::TBusCheck::Taken)
        qCWarning(lcShell).noquote() << "the name" << QString::fromLatin1(kBusName)
                                     << "on the session bus is held by another program;"
                                     << "the widget runs without it";
}

TInstanceCheck TInstanceGuard::AcquireBusNameAlone()
{
    // No lock file can be made here: the name on the bus is the only guard.
    using InstanceBus::TBusCheck;
    switch (InstanceBus::AcquireBusName([this] { emit RaiseRequested(); }, FBusName)) {
    case TBusCheck::First:
        return TInstanceCheck::First;
    case TBusCheck::Taken:
        return InstanceBus::ActivateOverBus() ? TInstanceCheck::HandedOver : TInstanceCheck::OtherRunning;
    case TBusCheck::NoBus:
        break;
    }
    return TInstanceCheck::Failed;
}

void TInstanceGuard::Listen()
{
    FServer = std::make_unique<platform::InstanceSocketServer>();
    std::string error;
    if (!FServer->Listen(SocketPath().toStdString(), error)) {
        qCWarning(lcShell).noquote() << "instance socket" << SocketPath() << ":" << QString::fromStdString(error);
        FServer.reset();
        return;
    }
    FServerNotifier = std::make_unique<QSocketNotifier>(FServer->Descriptor(), QSocketNotifier::Read);
    connect(FServerNotifier.get(), &QSocketNotifier::activated, this, &TInstanceGuard::ServeConnections);
}

void TInstanceGuard::ServeConnections()
{
    for (int fd = FServer->Accept(); fd >= 0; fd = FServer->Accept()) {
        TConnection &connection = FConnections[fd];
        connection.Notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(connection.Notifier.get(), &QSocketNotifier::activated, this, [this, fd] { ServeConnection(fd); });
        // The request may be there already.
        ServeConnection(fd);
    }
}

void TInstanceGuard::ServeConnection(int fd)
{
    const auto found = FConnections.find(fd);
    if (found == FConnections.end())
        return;
    switch (platform::InstanceSocketServer::ReadRequest(fd, found->second.Received)) {
    case platform::InstanceSocketServer::Request::Incomplete:
        return;
    case platform::InstanceSocketServer::Request::Raise:
        DropConnection(fd);
        emit RaiseRequested();
        return;
    case platform::InstanceSocketServer::Request::Refused:
        DropConnection(fd);
        return;
    }
}

void TInstanceGuard::DropConnection(int fd)
{
    const auto found = FConnections.find(fd);
    if (found == FConnections.end())
        return;
    // The notifier may be the one signalling now: it is switched off before
    // its descriptor closes and deleted once its signal has returned.
    QSocketNotifier *notifier = found->second.Notifier.release();
    notifier->setEnabled(false);
    notifier->deleteLater();
    FConnections.erase(found);
    platform::InstanceSocketServer::CloseConnection(fd);
}

bool BringInstanceToFront(const QString &socketPath)
{
    return platform::AskInstanceToRaise(socketPath.toStdString(), kTalkTimeoutMs);
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
