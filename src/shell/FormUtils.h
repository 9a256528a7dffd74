// SPDX-License-Identifier: MIT
#pragma once

class QWidget;

// Window routines that give the widget its place on the desktop. Both accept
// a window that has no native handle yet (they create it) and ignore nullptr.
namespace FormUtils {

// Puts the window below all other top-level windows and shows it if it is
// hidden. Windows: not topmost, then HWND_BOTTOM; activating the window
// (dragging it, say) raises it like any other, so callers run this again when
// they want it down. Elsewhere the window loses Qt::WindowStaysOnTopHint and
// is lowered (QWidget::lower()); on X11 it also gets the EWMH state
// _NET_WM_STATE_BELOW, asked for again at every show, which keeps it in the
// window manager's bottom layer. The state is set through xcb rather than
// Qt::WindowStaysOnBottomHint, because changing that hint makes Qt's xcb
// platform replace the X window at the next show.
void SendToBottom(QWidget *window);

// Removes the window's taskbar button and its place in the task switcher.
// Windows: WS_EX_TOOLWINDOW instead of WS_EX_APPWINDOW. X11: the EWMH states
// _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER (Qt does not set
// them for tool windows), set again at every show because a window manager
// drops a window's states when it is withdrawn. On other platforms (Wayland,
// offscreen) there is no protocol for it and nothing happens.
void HideFromTaskbar(QWidget *window);

} // namespace FormUtils
