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

// A screen as Qt sees it: its geometry in logical pixels and how many of its
// own (device) pixels one logical pixel is. Qt keeps a screen's top-left
// corner the same in both; only the extent is scaled.
struct TScreenScale
{
    QRect Geometry;
    double Ratio = 1;
};
// The screens of the running application.
QList<TScreenScale> Screens();

// A point of the desktop from logical to device pixels and back, through
// the screen that holds it (or, holding none, the nearest one; without
// screens the point stays). A place kept in device pixels stays the same
// place whatever scale factor the next run has (QT_SCALE_FACTOR, a changed
// display scale).
QPoint ToDevice(const QPoint &logical, const QList<TScreenScale> &screens);
QPoint FromDevice(const QPoint &device, const QList<TScreenScale> &screens);

} // namespace ScreenPlacement

// The window's saved place, kept in device pixels. A place restored from the
// settings and not moved since is saved again as it was read, to the pixel,
// even where a scale factor cannot put the window there exactly (an odd
// device pixel at a factor of 2).
class TSavedPlace
{
public:
    // The logical place for a place read from the settings.
    QPoint Restore(const QPoint &device, const QList<ScreenPlacement::TScreenScale> &screens);
    // The place to write for a window at a logical place.
    QPoint ToSave(const QPoint &logical, const QList<ScreenPlacement::TScreenScale> &screens) const;

private:
    bool FRestored = false;
    QPoint FDevice;
    QPoint FLogical;
};

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
    bool eventFilter(QObject *watched, QEvent *event) override;
    void Watch(QScreen *screen);
    void KeepLater();

    QPointer<QWidget> FWindow;
    bool FPending = false;
    int FSmallRetries = 0;
    // The window's last real size: what it takes on the screen while Qt
    // reports it 1 x 1 after a change of screens.
    QSize FLastSize;
};
