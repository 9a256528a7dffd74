// SPDX-License-Identifier: MIT
#include "platform/win/WinWindowStyle.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform::win {

namespace {

using DwmSetWindowAttributeFn = HRESULT(WINAPI *)(HWND, DWORD, LPCVOID, DWORD);

constexpr DWORD WindowCornerPreferenceAttribute = 33;

// dwmapi.dll, from the system folder only (never from beside the program or
// the current folder), stays loaded for the rest of the process once found;
// systems without it (or without the function) leave the pointer empty.
DwmSetWindowAttributeFn BindDwmSetWindowAttribute()
{
    static const DwmSetWindowAttributeFn function = [] {
        HMODULE module = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module)
            return DwmSetWindowAttributeFn(nullptr);
        return reinterpret_cast<DwmSetWindowAttributeFn>(
            reinterpret_cast<void *>(GetProcAddress(module, "DwmSetWindowAttribute")));
    }();
    return function;
}

} // namespace

long SetWindowCorners(void *window, CornerPreference preference)
{
    DWORD value = 0;
    switch (preference) {
    case CornerPreference::DoNotRound:
    case CornerPreference::Round:
    case CornerPreference::RoundSmall:
        value = DWORD(preference);
        break;
    default:
        value = 0;
    }
    const DwmSetWindowAttributeFn function = BindDwmSetWindowAttribute();
    if (!function)
        return E_NOTIMPL;
    return function(static_cast<HWND>(window), WindowCornerPreferenceAttribute, &value, sizeof value);
}

void HideFromTaskbar(void *window)
{
    const auto hwnd = static_cast<HWND>(window);
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    style = (style & ~LONG_PTR(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, style);
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void SendToBottom(void *window)
{
    const auto hwnd = static_cast<HWND>(window);
    constexpr UINT keep = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    SetWindowPos(hwnd, HWND_NOTOPMOST, 0, 0, 0, 0, keep);
    SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, keep | SWP_SHOWWINDOW);
}

} // namespace platform::win

// The shared interface (platform/WindowStyle.h). The display is not needed:
// every window of the session belongs to the one window manager.
namespace platform {

bool HasWindowSystem(void *)
{
    return true;
}

bool WindowStatesEndWithHide()
{
    return false;
}

void AddWindowStates(void *, WindowHandle window, unsigned states)
{
    void *hwnd = reinterpret_cast<void *>(window);
    if (states & StateSkipTaskbar)
        win::HideFromTaskbar(hwnd);
    if (states & StateBelow)
        win::SendToBottom(hwnd);
}

void RemoveStaysOnTop(void *, WindowHandle)
{
    // StateBelow takes the window out of the topmost band first.
}

void FlushWindowSystem(void *) {}

CornerResult SetWindowCorners(void *, WindowHandle window, CornerPreference preference)
{
    if (window == 0)
        return CornerResult::InvalidWindow;
    const long result = win::SetWindowCorners(reinterpret_cast<void *>(window),
                                              static_cast<win::CornerPreference>(preference));
    return CornerResultFromHresult(result);
}

// The desktop window manager composes every window and rounds it as asked
// (the corner preference exists only on systems where composition cannot be
// switched off): nothing to follow.
CompositorWatch::CompositorWatch(void *display, WindowHandle) : m_display(display) {}

CompositorWatch::~CompositorWatch() = default;

bool CompositorWatch::Handle(const void *)
{
    return false;
}

CornerResult CornerResultFromHresult(long result)
{
    if (SUCCEEDED(result))
        return CornerResult::Applied;
    switch (static_cast<unsigned long>(result)) {
    case 0x80070006ul: // E_HANDLE
        return CornerResult::InvalidWindow;
    case 0x80070057ul: // E_INVALIDARG: no such attribute before Windows 11
        return CornerResult::Refused;
    case 0x80004001ul: // E_NOTIMPL: no dwmapi.dll or no DwmSetWindowAttribute
        return CornerResult::NotSupported;
    case 0x80263001ul: // DWM_E_COMPOSITIONDISABLED
        return CornerResult::NoCompositor;
    default:
        return CornerResult::Failed;
    }
}

} // namespace platform
