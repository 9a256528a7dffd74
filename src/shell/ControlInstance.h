// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace platform {
class SystemInstanceGuard;
}

// One widget per user session.
//
// Linux: a per-user lock file (QLockFile; a lock left behind by a killed
// process is recognised as stale and taken over) plus a local socket beside
// it, both in $XDG_RUNTIME_DIR, or in /tmp/velmora-<uid> (mode 0700, owned
// by the user) when that is not set. A second start finds the first one
// through the socket, whatever either program file is called, and asks it to
// come to the front.
// Windows: the session-local named mutex, and the running instance's window
// looked up by its title (platform::SystemInstanceGuard); no lock file and no
// socket.
namespace ControlInstance {

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

signals:
    // A second start asked this instance to come to the front.
    void RaiseRequested();

private:
    void Listen();
    void ServeConnection();

    QString FDir;
    std::unique_ptr<QLockFile> FLock;
    std::unique_ptr<QLocalServer> FServer;
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

// A connection to the running instance's socket, or nullptr.
std::unique_ptr<QLocalSocket> FindRunningInstance(const QString &socketPath);
// Asks the instance at the other end to restore, raise and activate its
// window; true once it confirmed.
bool BringInstanceToFront(QLocalSocket &socket);

} // namespace ControlInstance
