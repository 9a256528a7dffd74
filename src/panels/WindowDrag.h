// SPDX-License-Identifier: MIT
#pragma once

class QMouseEvent;
class QWidget;

// Dragging the widget: a press of the left button on the borderless window or
// on a control inside it moves the whole window with the mouse. The window
// and the drive panels both start it here.
namespace WindowDrag {

enum class TMove {
    None,    // not the left button, or no window to move
    Pending, // a press: a drag once the pointer leaves the drag distance
};

// For a press of the left button on widget: watches the pointer from here.
// Only once it has moved past the drag distance
// (QApplication::startDragDistance) with the button still held is widget's
// top-level window handed to the window system's move loop; on X11 (see the
// code) and where the window system offers none (no window manager, or one
// without the move request), the window follows the mouse itself, keeping the pressed point under the
// pointer, until the left button is released. A release before that is a
// click, and a quick second press a double click: a move loop started by a
// tap would find the button already up and keep the window glued to the
// pointer. Any other button, or no event, does nothing. No mouse grab is
// taken: the moves that follow a press reach the application whichever
// widget they go to.
TMove Start(QWidget *widget, const QMouseEvent *press);

// True between a press and either its release or the start of a move.
bool Pending();
// True while a window follows the mouse (no move loop; not released yet).
bool Following();

} // namespace WindowDrag
