// SPDX-License-Identifier: MIT
#pragma once

// One widget per user session.
//
// Windows guards with a session-local named mutex and finds the running
// instance's window by its title (InstanceWindowTitle). Linux has no such
// system object: there the caller guards with its name on the session bus, or
// without a bus with a lock file in InstanceDirectory() and the local socket
// below (InstanceSocketServer, AskInstanceToRaise).

#include <memory>
#include <string>

namespace platform {

class SystemInstanceGuard
{
public:
    enum class Check {
        First,        // this process holds the guard until Release()
        HandedOver,   // another instance runs and was brought to the front
        OtherRunning, // another instance runs but its window was not found
        Failed,       // the guard could not be created
        NotProvided,  // the system has no guard of its own (Linux)
    };

    SystemInstanceGuard();
    ~SystemInstanceGuard();
    SystemInstanceGuard(const SystemInstanceGuard &) = delete;
    SystemInstanceGuard &operator=(const SystemInstanceGuard &) = delete;

    // Never waits. Only First keeps anything held.
    Check Acquire();
    void Release();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// The hand-over socket where the system has no guard of its own: a stream
// socket at a path in InstanceDirectory(), open to its owner only. A second
// start writes the line "raise\n"; the running instance answers "ok\n" and
// comes to the front. Anything else, or more than a short line, is refused.
// Only Linux has one; elsewhere Listen() fails and AskInstanceToRaise() is
// false.
class InstanceSocketServer
{
public:
    enum class Request {
        Incomplete, // wait for more bytes on the connection
        Raise,      // answered "ok\n"; close the connection
        Refused,    // not ours, or the peer went away; close the connection
    };

    InstanceSocketServer() = default;
    ~InstanceSocketServer();
    InstanceSocketServer(const InstanceSocketServer &) = delete;
    InstanceSocketServer &operator=(const InstanceSocketServer &) = delete;

    // Listens at path, replacing a socket file left there (the caller holds
    // the lock, so it belongs to a dead instance). False with the reason in
    // error.
    bool Listen(const std::string &path, std::string &error);
    // Stops listening and removes the socket file.
    void Close();
    // The listening descriptor, to watch for readability; -1 when closed.
    int Descriptor() const { return m_fd; }
    // A waiting connection (non-blocking) or -1 when none waits.
    int Accept();

    // Reads what the connection fd has so far into received.
    static Request ReadRequest(int fd, std::string &received);
    static void CloseConnection(int fd);

private:
    int m_fd = -1;
    std::string m_path;
};

// Asks the instance listening at path to come to the front; true once it
// answered within timeoutMs (connecting, writing and reading each wait at
// most that long).
bool AskInstanceToRaise(const std::string &path, int timeoutMs);

// The per-user folder for the lock and the socket (UTF-8). Linux:
// $XDG_RUNTIME_DIR when it is a folder, else /tmp/velmora-<uid>, created with
// mode 0700 and used only when it is a real folder that belongs to the user
// and is closed to others; empty otherwise. Windows: empty (not needed).
std::string InstanceDirectory();

// The title a second start finds the running widget's window by (Windows);
// empty where the hand-over does not go through the window (Linux).
std::string InstanceWindowTitle();

// Writes a diagnostic line where this system's programs put them: the
// debugger output on Windows, standard error (with a line break) on Linux.
void WriteDiagnostic(const std::string &text);

} // namespace platform
