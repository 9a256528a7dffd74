// SPDX-License-Identifier: MIT
#pragma once

// One widget per user session.
//
// Windows guards with a session-local named mutex and finds the running
// instance's window by its title (InstanceWindowTitle). Linux has no such
// system object: there the caller guards with a lock file and a local socket
// in InstanceDirectory() (portable Qt code in the shell).

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
