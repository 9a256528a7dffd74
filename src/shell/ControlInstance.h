// SPDX-License-Identifier: MIT
#pragma once

#include "desktop/InstanceBus.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

class QLockFile;
class QSocketNotifier;

namespace platform {
class SystemInstanceGuard;
}

// One widget per user session.
//
// Linux: a per-user lock file (QLockFile; a lock left behind by a killed
// process is recognised as stale and taken over) plus a local socket beside
// it (platform::InstanceSocketServer), both in $XDG_RUNTIME_DIR, or in
// ~/.local/state/velmora when that is not set. The lock guards whether or not
// there is a session bus, so a start without the bus (or after it died)
// still finds the running widget. Where a session bus answers, the holder of
// the lock also takes the well-known name kBusName on it with the freedesktop
// org.freedesktop.Application interface at kBusPath, for desktops that
// activate the widget through the bus; another program that owns the name
// keeps nothing from starting (the widget says so on standard error). A
// second start asks the running instance to come to the front through the
// socket, or through Activate on the bus when the socket does not answer.
// Only where no lock can be made does the name on the bus guard alone.
// Either way whatever either program file is called.
// Windows: the session-local named mutex, and the running instance's window
// looked up by its title (platform::SystemInstanceGuard); no lock file and no
// socket.
namespace platform {
class InstanceSocketServer;
}

namespace ControlInstance {

// The name and the object path on the session bus (desktop/InstanceBus.h).
using InstanceBus::kBusName;
using InstanceBus::kBusPath;

enum class TInstanceCheck {
    First,        // this process holds the guard
    HandedOver,   // another instance runs and was asked to come to the front
    OtherRunning, // another instance holds the guard but could not be reached
    Failed,       // the guard could not be created
};

class TInstanceGuard : public QObject
{
    Q_OBJECT

public:
    // dir: where the lock and the socket live; empty for the per-user default.
    explicit TInstanceGuard(QString dir = QString(), QObject *parent = nullptr);
    ~TInstanceGuard() override;

    // Takes the guard, or hands over to the instance that holds it.
    TInstanceCheck Acquire();
    // Drops the guard (also done by the destructor).
    void Release();

    QString Directory() const { return FDir; }
    QString LockPath() const;
    QString SocketPath() const;
    // Whether this instance holds the name on the session bus.
    bool HoldsBusName() const { return FBusName != nullptr; }

signals:
    // A second start asked this instance to come to the front.
    void RaiseRequested();

private:
    enum class TLock { Taken, HeldElsewhere, Impossible };
    TLock TakeLockFile();
    TInstanceCheck AcquireBusNameAlone();
    void TakeBusNameBesideTheLock();
    void Listen();
    void ServeConnections();
    void ServeConnection(int fd);
    void DropConnection(int fd);

    QString FDir;
    // The name on the session bus with the object that answers Activate;
    // null without a bus.
    std::unique_ptr<QObject> FBusName;
    std::unique_ptr<QLockFile> FLock;
    std::unique_ptr<platform::InstanceSocketServer> FServer;
    std::unique_ptr<QSocketNotifier> FServerNotifier;
    struct TConnection
    {
        std::unique_ptr<QSocketNotifier> Notifier;
        std::string Received;
    };
    std::map<int, TConnection> FConnections;
    // The system's own guard, where it has one; held from Acquire() until
    // Release().
    std::unique_ptr<platform::SystemInstanceGuard> FSystemGuard;
};

// The per-user directory of the guard (platform::InstanceDirectory); empty
// when none can be made safely (a /tmp/velmora-<uid> that belongs to someone
// else or is not a directory), and on Windows.
QString DefaultInstanceDirectory();

// The program entry's check: returns -1 when this process is the only
// instance (the guard stays taken), otherwise the exit code the process must
// end with, after writing the diagnostic text to the debugger output
// (standard error on Linux, platform::WriteDiagnostic): 1 with "No se pudo crear el mutex de instancia
// única." when the guard cannot be created; 0 when another instance runs
// (with "Otra instancia ya se está ejecutando." when it could not be reached).
int CheckSingleInstance(TInstanceGuard &guard);

// Asks the instance listening at socketPath to restore, raise and activate
// its window; true once it confirmed.
bool BringInstanceToFront(const QString &socketPath);

} // namespace ControlInstance
