// SPDX-License-Identifier: MIT
#include "platform/win/WinInstance.h"

#include "platform/SingleInstance.h"
#include "platform/win/WinText.h"

#include <memory>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform::win {

WinInstanceMutex::WinInstanceMutex(const wchar_t *name)
{
    SetLastError(ERROR_SUCCESS);
    m_handle = CreateMutexW(nullptr, FALSE, name);
    m_error = GetLastError();
}

WinInstanceMutex::~WinInstanceMutex()
{
    Close();
}

bool WinInstanceMutex::AlreadyExisted() const
{
    return m_handle && m_error == ERROR_ALREADY_EXISTS;
}

void WinInstanceMutex::Close()
{
    if (m_handle)
        CloseHandle(m_handle);
    m_handle = nullptr;
}

InstanceCheck CheckSingleInstance(WinInstanceMutex &mutex)
{
    if (!mutex.HasHandle()) {
        OutputDebugStringW(L"No se pudo crear el mutex de instancia \u00fanica.");
        return InstanceCheck::Failed;
    }
    if (!mutex.AlreadyExisted())
        return InstanceCheck::First;
    if (void *window = FindRunningInstance())
        BringInstanceToFront(window);
    else
        OutputDebugStringW(L"Otra instancia ya se est\u00e1 ejecutando.");
    mutex.Close();
    return InstanceCheck::AnotherRunning;
}

void *FindRunningInstance()
{
    return FindWindowW(nullptr, InstanceWindowTitle);
}

void BringInstanceToFront(void *window)
{
    const auto hwnd = static_cast<HWND>(window);
    if (!hwnd)
        return;
    if (IsIconic(hwnd))
        ShowWindow(hwnd, SW_RESTORE);
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD ownThread = GetCurrentThreadId();
    const bool attached = foregroundThread != 0 && foregroundThread != ownThread
        && AttachThreadInput(ownThread, foregroundThread, TRUE);
    constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    SetForegroundWindow(hwnd);
    if (attached)
        AttachThreadInput(ownThread, foregroundThread, FALSE);
}

} // namespace platform::win

// The shared interface (platform/SingleInstance.h) over the named mutex.
namespace platform {

struct SystemInstanceGuard::State
{
    // Held from Acquire() until Release(); the system drops it with the process.
    std::unique_ptr<win::WinInstanceMutex> Mutex;
};

SystemInstanceGuard::SystemInstanceGuard() : m_state(std::make_unique<State>()) {}

SystemInstanceGuard::~SystemInstanceGuard() = default;

SystemInstanceGuard::Check SystemInstanceGuard::Acquire()
{
    // The mutex is taken (or found taken) on creation; when another process
    // holds it, that process's window comes to the front and this handle is
    // closed.
    m_state->Mutex = std::make_unique<win::WinInstanceMutex>();
    if (!m_state->Mutex->HasHandle()) {
        m_state->Mutex.reset();
        return Check::Failed;
    }
    if (!m_state->Mutex->AlreadyExisted())
        return Check::First;
    m_state->Mutex.reset();
    if (void *window = win::FindRunningInstance()) {
        win::BringInstanceToFront(window);
        return Check::HandedOver;
    }
    return Check::OtherRunning;
}

void SystemInstanceGuard::Release()
{
    m_state->Mutex.reset();
}

// Windows hands over through the named mutex and the window: no socket.
InstanceSocketServer::~InstanceSocketServer() = default;

bool InstanceSocketServer::Listen(const std::string &, std::string &error)
{
    error = "not used on Windows";
    return false;
}

void InstanceSocketServer::Close() {}

int InstanceSocketServer::Accept()
{
    return -1;
}

InstanceSocketServer::Request InstanceSocketServer::ReadRequest(int, std::string &)
{
    return Request::Refused;
}

void InstanceSocketServer::CloseConnection(int) {}

bool AskInstanceToRaise(const std::string &, int)
{
    return false;
}

std::string InstanceDirectory()
{
    return {};
}

std::string InstanceWindowTitle()
{
    return win::WideToUtf8(win::InstanceWindowTitle);
}

void WriteDiagnostic(const std::string &text)
{
    OutputDebugStringW(win::Utf8ToWide(text).c_str());
}

} // namespace platform
