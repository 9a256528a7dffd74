// SPDX-License-Identifier: MIT
#pragma once

// Window-manager requests behind the widget window's look and place.
//
// A window travels as its native handle (Qt's WId: an HWND on Windows, an X
// window id on X11). The display is the window system connection the window
// belongs to: on X11 the xcb_connection_t of Qt's xcb platform, which the
// program entry hands over; nullptr where there is none (offscreen, Wayland
// without XWayland). Windows has one window system per session and ignores it.

#include <cstdint>

namespace platform {

using WindowHandle = std::uintptr_t;

// States a window asks the window manager for.
enum WindowState : unsigned {
    // Below all other normal windows (Windows: the bottom of the z-order, not
    // topmost; X11: _NET_WM_STATE_BELOW).
    StateBelow = 1,
    // No taskbar button and no place in the task switcher (Windows:
    // WS_EX_TOOLWINDOW instead of WS_EX_APPWINDOW; X11:
    // _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER).
    StateSkipTaskbar = 2,
};

// Whether there is a window system to ask through display.
bool HasWindowSystem(void *display);

// True when the window manager forgets a window's states once the window is
// hidden, so that they must be asked for again at every show (X11: EWMH drops
// _NET_WM_STATE of a withdrawn window). Windows keeps them.
bool WindowStatesEndWithHide();

// Asks for the states (a WindowState mask), keeping the window's others.
// X11: a withdrawn window gets them in its own _NET_WM_STATE property, and
// every window gets _NET_WM_STATE client messages to the root window.
void AddWindowStates(void *display, WindowHandle window, unsigned states);

// Takes away "always on top" that the window manager's own menu may have
// given (X11: _NET_WM_STATE_ABOVE and _NET_WM_STATE_STAYS_ON_TOP). Windows:
// nothing, StateBelow already leaves the topmost band.
void RemoveStaysOnTop(void *display, WindowHandle window);

// Sends what is still buffered for the window system (X11: xcb_flush).
void FlushWindowSystem(void *display);

// The desktop window manager's corner preferences: default, square, round,
// small round (the values of DWM_WINDOW_CORNER_PREFERENCE).
enum class CornerPreference : int { Default = 0, DoNotRound = 1, Round = 2, RoundSmall = 3 };

enum class CornerResult {
    // The window manager rounds the window as asked.
    Applied,
    // The system has no corner request; the caller shapes the window itself
    // (X11 with a compositing manager running).
    ShapeTheWindow,
    // No window, or one that has gone.
    InvalidWindow,
    // The system does not know corner preferences (Windows before 11).
    Refused,
    // No window system to ask, or no way to ask it.
    NotSupported,
    // Composition is off: the corners stay square.
    NoCompositor,
    // Any other failure.
    Failed,
};

// Asks for the window's corner shape. Windows: DWM window attribute 33
// (DWMWA_WINDOW_CORNER_PREFERENCE). X11: ShapeTheWindow while a compositing
// manager runs for the window's screen (it owns _NET_WM_CM_S<screen>),
// NoCompositor otherwise.
CornerResult SetWindowCorners(void *display, WindowHandle window, CornerPreference preference);

// Follows whether a compositing manager runs for the screen of a window, so
// that corners shaped by the caller (ShapeTheWindow) come and go with it.
//
// X11: the XFixes extension reports every change of the owner of
// _NET_WM_CM_S<screen> (a compositor that starts, is replaced, lets go, or
// ends without letting go) as an event on the display's connection, reported
// to a small window of the watch's own. The toolkit reads the connection and
// the caller hands each event to Handle(); while the owner stays, no event
// comes and nothing is polled. Without the extension nothing is followed.
// Windows: the desktop window manager composes and rounds every window by
// itself, so there is nothing to follow (IsWatching() is false).
class CompositorWatch
{
public:
    CompositorWatch(void *display, WindowHandle window);
    ~CompositorWatch();
    CompositorWatch(const CompositorWatch &) = delete;
    CompositorWatch &operator=(const CompositorWatch &) = delete;

    bool IsWatching() const { return m_window != 0; }
    // Whether a compositor ran at the last change Handle() reported; at the
    // start, whether one ran when the watch began.
    bool CompositorRuns() const { return m_runs; }
    // Looks at one event read from the display's connection (X11: an
    // xcb_generic_event_t); true when it tells that the compositor selection
    // changed hands, CompositorRuns() then telling whether a compositor runs.
    bool Handle(const void *event);

private:
    void *m_display = nullptr;
    std::uint32_t m_window = 0;
    std::uint32_t m_selection = 0;
    int m_notifyType = -1;
    bool m_runs = false;
};

} // namespace platform
