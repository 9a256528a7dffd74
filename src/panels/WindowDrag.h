// SPDX-License-Identifier: MIT
#pragma once

class QMouseEvent;
class QWidget;

// Dragging the widget: a press of the left button on the borderless window or
// on a control inside it moves the whole window with the mouse. The window
// and the drive panels both start it here.
namespace WindowDrag {

enum class TMove {
    None,        // not the left button, or no window to move
    System,      // the window system's move loop has taken over
    FollowMouse, // no move loop offered: the window follows the mouse
};

// For a press of the left button on widget: lets go of any mouse grab and
// hands widget's top-level window to the window system's move loop. Where the
// window system offers none (no window manager, or one without the move
// request), the window follows the mouse itself, keeping the pressed point
// under the pointer, until the left button is released. Any other button, or
// no event, does nothing. No mouse grab is taken: the moves that follow a
// press reach the application whichever widget they go to.
TMove Start(QWidget *widget, const QMouseEvent *press);

// True while a window follows the mouse (a FollowMouse move not ended yet).
bool Following();

} // namespace WindowDrag
