// SPDX-License-Identifier: MIT
#pragma once

// One widget per user session: a named mutex taken at start and held until
// exit, and the hand-over to the running instance's window.
//
// Window handles travel as void* (an HWND), so that callers need not include
// <windows.h>; Qt's WId converts with reinterpret_cast<void *>(winId()).

namespace platform::win {

inline constexpr wchar_t InstanceMutexName[] = L"Local\\MyUniqueAppMutex_49BE707D-BE1C-494B-8FB8-D61DCEEC5C9B";
// The title a second start looks for.
inline constexpr wchar_t InstanceWindowTitle[] = L"kvDivoziVirudu";

// The named mutex (session-local namespace, default security, not owned).
// Creating it never waits; whether it existed before is the answer.
class WinInstanceMutex
{
public:
    explicit WinInstanceMutex(const wchar_t *name = InstanceMutexName);
    ~WinInstanceMutex();
    WinInstanceMutex(const WinInstanceMutex &) = delete;
    WinInstanceMutex &operator=(const WinInstanceMutex &) = delete;

    bool HasHandle() const { return m_handle != nullptr; }
    // The system's last error right after creation: ERROR_ALREADY_EXISTS
    // (183) when another process holds the name, 0 for a new mutex, the
    // failure otherwise.
    unsigned long CreationError() const { return m_error; }
    bool AlreadyExisted() const;
    void Close();

private:
    void *m_handle = nullptr;
    unsigned long m_error = 0;
};

enum class InstanceCheck {
    // This is the only instance; keep the mutex until the process ends.
    First,
    // Another instance runs: its window was raised, or there was none. Exit 0.
    AnotherRunning,
    // The mutex could not be created. Exit 1.
    Failed,
};

// The start-up guard, without ending the process: takes the mutex into
// mutex, and when another instance holds it hands over to that instance's
// window (FindRunningInstance, BringInstanceToFront) and closes the handle.
// Writes "No se pudo crear el mutex de instancia única." or "Otra instancia
// ya se está ejecutando." (no window found) to the debugger output.
InstanceCheck CheckSingleInstance(WinInstanceMutex &mutex);

// The top-level window titled exactly InstanceWindowTitle (any class; the
// system compares titles without regard to letter case), or nullptr.
void *FindRunningInstance();

// Restores window when it is minimised and brings it to the front: attaches
// this thread's input to the foreground window's thread for the time of the
// change (the system grants foreground activation only to the thread that
// owns the foreground), sets it topmost and at once not topmost (lifting it
// above all normal windows without moving or resizing it), then makes it the
// foreground window.
void BringInstanceToFront(void *window);

} // namespace platform::win
