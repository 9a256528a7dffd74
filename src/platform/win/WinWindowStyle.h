// SPDX-License-Identifier: MIT
#pragma once

// Window-manager calls behind the widget window's look and place. Window
// handles travel as void* (an HWND); Qt's WId converts with
// reinterpret_cast<void *>(winId()).

#include "platform/WindowStyle.h"

namespace platform::win {

// The desktop window manager's corner preference (DWMWA_WINDOW_CORNER_PREFERENCE)
// values: default, square, round, small round.
enum class CornerPreference : int { Default = 0, DoNotRound = 1, Round = 2, RoundSmall = 3 };

// Sets window attribute 33 (the corner preference) through
// DwmSetWindowAttribute, bound from dwmapi.dll on first use. Returns the
// HRESULT of the call; E_NOTIMPL (0x80004001) when the library or the
// function is missing. Systems before Windows 11 refuse the attribute and
// the corners stay as they are.
long SetWindowCorners(void *window, CornerPreference preference);

// Removes the taskbar button and the task-switcher entry: clears
// WS_EX_APPWINDOW, sets WS_EX_TOOLWINDOW, and tells the system that the frame
// changed (SetWindowPos with SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER |
// SWP_FRAMECHANGED) without moving, resizing or re-ordering it.
void HideFromTaskbar(void *window);

// Puts the window below all other top-level windows without moving, sizing
// or activating it: not topmost first (flags 0x13), then the bottom of the
// z-order, shown (flags 0x53).
void SendToBottom(void *window);

} // namespace platform::win

namespace platform {

// A DwmSetWindowAttribute result as the shared corner result.
CornerResult CornerResultFromHresult(long result);

} // namespace platform
