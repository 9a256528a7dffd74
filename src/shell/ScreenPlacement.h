// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>

class QScreen;
class QWidget;

namespace ScreenPlacement {

// Where a window with the given geometry belongs, given the available areas
// of the screens (their work areas, without panels and docks). A window at
// least half of which lies inside one screen's area stays where it is, to
// the pixel. Any other goes to the screen it overlaps most, or, overlapping
// none, to the one nearest its centre, and is shifted just far enough to be
// wholly inside it; a window larger than that area keeps its top-left corner
// on the area's. Without screens the window stays.
QPoint Place(const QRect &window, const QList<QRect> &screens);

} // namespace ScreenPlacement

// Keeps a top-level window on a screen while the program runs: whenever a
// screen is added or removed or the available area of one changes, the
// window is placed again (ScreenPlacement::Place). Keep() does it at once.
class TScreenKeeper : public QObject
{
    Q_OBJECT

public:
    explicit TScreenKeeper(QWidget *window);

    // Places the window now; true when it had to move.
    bool Keep();

private:
    void Watch(QScreen *screen);
    void KeepLater();

    QPointer<QWidget> FWindow;
    bool FPending = false;
    int FSmallRetries = 0;
};
