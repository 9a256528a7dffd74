// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

class QWidget;

namespace rounded_corners {

// The corner preference of the desktop window manager, in the order and with
// the values of DWM_WINDOW_CORNER_PREFERENCE: system default, square, round,
// small round. Its own type is int, as the Windows enumeration's, so that any
// number read from outside is a value of it (without a fixed type only 0 to 3
// would be, and any other number cast to it undefined) and reaches the
// functions below, which treat it as the system default.
enum TCornerPreference : int { cpDefault, cpDoNotRound, cpRound, cpRoundSmall };

// What became of a corner request.
enum TCornerResult {
    // The preference has been applied.
    CornersApplied,
    // No window, or one that has gone.
    CornersInvalidWindow,
    // The system does not know corner preferences (Windows before 11 refuses
    // the attribute).
    CornersRefused,
    // No window system to ask: Wayland without XWayland, offscreen; or the
    // system lacks the request altogether.
    CornersNotSupported,
    // Composition is off (X11: no compositing manager runs): the corners stay
    // square.
    CornersNoCompositor,
    // The system refused the request for another reason.
    CornersFailed,
};

// The value passed to the window manager for a preference: cpDoNotRound 1,
// cpRound 2, cpRoundSmall 3, anything else 0.
std::uint32_t CornerPreferenceValue(TCornerPreference preference);

// The corner radius in device-independent pixels that the X11 path uses
// for a preference; 0 means square.
int CornerRadius(TCornerPreference preference);

// Asks for the window's corner shape; the corners stay as they are when the
// call fails.
// Windows: DWM window attribute 33 (DWMWA_WINDOW_CORNER_PREFERENCE) through
// DwmSetWindowAttribute, bound from dwmapi.dll on first use
// (CornersNotSupported when the library or the function is missing).
// X11: the window manager has no such request, so the window is rounded by a
// shape mask (QWidget::setMask with a rounded-rect region) that follows every
// resize. A mask clips the window and all its children whatever they paint,
// which a painted rounded background would not; its edge is not antialiased.
// Like DWM, which rounds only composited windows, this is done only while a
// compositing manager runs (it owns the selection _NET_WM_CM_S<screen>);
// otherwise CornersNoCompositor. cpDefault and cpDoNotRound remove the mask,
// X11 window managers giving frameless windows square corners.
// From the first call on, the window follows the compositor with the last
// preference asked for: one that starts later shapes it, one that ends
// (or dies) takes the mask away again. XFixes reports each change of the
// selection's owner; nothing is polled.
TCornerResult SetWindowCorners(QWidget *window, TCornerPreference preference);

} // namespace rounded_corners
