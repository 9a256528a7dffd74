// SPDX-License-Identifier: MIT
#include "platform/win/WinInstance.h"

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
