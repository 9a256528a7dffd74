// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

class QWidget;

// Window routines that give the widget its place on the desktop. Both accept
// a window that has no native handle yet (they create it) and ignore nullptr.
// The requests themselves go through platform/WindowStyle.h.
namespace FormUtils {

// Puts the window below all other top-level windows and shows it if it is
// hidden. The window loses Qt::WindowStaysOnTopHint, loses "always on top"
// that the window manager's menu may have given it, asks for the state
// "below" and is lowered (QWidget::lower()).
// Windows: not topmost, then HWND_BOTTOM; activating the window (dragging it,
// say) raises it like any other, so callers run this again when they want it
// down. X11: the EWMH state _NET_WM_STATE_BELOW, asked for again at every
// show, keeps it in the window manager's bottom layer. The state is set
// through xcb rather than Qt::WindowStaysOnBottomHint, because changing that
// hint makes Qt's xcb platform replace the X window at the next show.
void SendToBottom(QWidget *window);

// Removes the window's taskbar button and its place in the task switcher.
// Windows: WS_EX_TOOLWINDOW instead of WS_EX_APPWINDOW. X11: the EWMH states
// _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER (Qt does not set
// them for tool windows), set again at every show because a window manager
// drops a window's states when it is withdrawn. Without a window system to
// ask (Wayland, offscreen) nothing happens.
void HideFromTaskbar(QWidget *window);

// The window system connection that these routines, the transparency and the
// corners talk through (see platform/WindowStyle.h): the program entry hands
// over Qt's own (X11: its xcb connection) once the application exists, and
// takes it back (nullptr) before the application goes. nullptr, the default,
// means none: on X11 nothing is asked then.
void UseNativeDisplay(void *display);
void *NativeDisplay();

// The native handle of the window's top-level window, created when missing.
// Not QWidget::winId(): Qt's xcb platform replaces the X window behind the
// same QWindow when the stays-on-top/bottom hints change.
std::uintptr_t NativeWindow(QWidget *window);

} // namespace FormUtils
