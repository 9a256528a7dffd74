// SPDX-License-Identifier: MIT
#pragma once

// The system asks the program to stop: SIGTERM, SIGINT and SIGHUP on Linux.
// A signal handler may only do async-signal-safe work, so it writes the
// signal number into a pipe whose read end the caller watches (a
// QSocketNotifier) and drains with TakeSignal(). Windows ends a session
// through window messages instead (Qt's session manager): nothing to catch.

#include <string>

namespace platform {

class StopSignals
{
public:
    // Installs the handlers. One object per process takes them; a second one
    // stays inactive. The destructor restores the previous handlers.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // True when the pipe and every handler are in place.
    bool IsActive() const { return m_active; }
    // The descriptor that turns readable when a signal arrived; -1 when this
    // object does not own the pipe (nothing to watch).
    int ReadHandle() const { return m_readHandle; }
    // Why the pipe could not be made; empty otherwise.
    const std::string &SetupError() const { return m_error; }

    // Drains the pipe; the number of the last signal that arrived, or 0.
    int TakeSignal();

private:
    bool m_active = false;
    int m_readHandle = -1;
    std::string m_error;
};

} // namespace platform
