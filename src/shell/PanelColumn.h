// SPDX-License-Identifier: MIT
#pragma once

#include <QHash>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <optional>

class QWidget;
class TFrameDrive;

// The panels by drive name, matched exactly: names that differ only by
// letter case (/mnt/a and /mnt/A), by a trailing blank or by anything else
// are different drives, each with its own panel. A name matched loosely
// would let one drive's figures land on another drive's panel. Among equals
// the first panel wins.
class TFrameIndex
{
public:
    explicit TFrameIndex(const QList<TFrameDrive *> &frames);
    TFrameDrive *Find(const QString &name) const;

private:
    QHash<QString, TFrameDrive *> FExact;
};

// The name of a machine above its drives' panels, when the window shows
// several machines: a strip made at run time, a child of the window without
// a name (no component), stacked by the column in the order of the children.
// Greyed, with the reason as its tool tip, while the machine's source does
// not answer.
class TMachineHeading : public QLabel
{
    Q_OBJECT

public:
    static constexpr int Height = 20;
    TMachineHeading(QWidget *window, const QString &name);
    // Empty reason: answering.
    void SetFailure(const QString &reason);
    QString Failure() const { return FFailure; }

private:
    QString FFailure;
};

// The column of drive panels inside the widget window. The panels are the
// window's direct children of class TFrameDrive, in the order of the
// children; the column stacks the visible ones from the top across the
// window's width and fits the window to what is visible. The window always
// lies within the usable area of its screen from top to bottom: one that
// would reach below it moves up, and one taller than it (hundreds of mounts)
// stops at its height, the mouse wheel over a panel scrolling the column, a
// notch (120) a panel. A strip with an arrow at the top or the bottom shows
// that more drives lie above or below; a click on it scrolls a panel that
// way. Only the panels in view (and those near it) have their inner
// controls.
class TPanelColumn : public QObject
{
    Q_OBJECT

public:
    // Not a child of the window: the window's children are its components
    // and panels.
    TPanelColumn(QWidget *window, int width);

    // The panels, in the order of the children.
    QList<TFrameDrive *> Frames() const;
    // Takes a new panel into the column: the wheel over it scrolls, and it
    // is found by name from now on.
    void Adopt(TFrameDrive *frame);
    // A heading for a machine's panels, below those made so far.
    TMachineHeading *AddHeading(const QString &name);
    // The headings, in the order of the children.
    QList<TMachineHeading *> Headings() const;
    // The panel of a drive name (see TFrameIndex), or null.
    TFrameDrive *Find(const QString &name) const;

    // Fits the window: the visible panels stack without gaps from the top,
    // then every visible child is shifted so that together they meet the
    // client area's top-left corner, and the client area takes their size.
    // With nothing visible the window is hidden (a window cannot be 0 x 0)
    // and comes back at the next fitting that has something to show.
    void Fit();
    // The client size the last fitting gave: (0, 0) when nothing was visible.
    QSize FittedSize() const { return FFittedSize; }
    // True while the window is hidden because nothing was visible.
    bool HiddenEmpty() const { return FHiddenEmpty; }
    // How many shown panels lie wholly or partly above and below the view.
    int MoreAbove() const { return FMoreAbove; }
    int MoreBelow() const { return FMoreBelow; }
    // Scrolls the column by so many pixels (down for positive) and fits.
    void ScrollBy(int pixels);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Builds the controls of the panels that meet the client area (0 to
    // height) and releases those of panels far from it or hidden.
    void ShowInView(int height);
    // Shows the strips that tell of panels above and below the view.
    void ShowMarks(const QList<QWidget *> &visible, int height);
    int PanelHeight() const;

    QWidget *FWindow;
    int FWidth;
    QSize FFittedSize;
    // How many pixels of the column are above the window's top.
    int FScroll = 0;
    bool FHiddenEmpty = false;
    int FMoreAbove = 0;
    int FMoreBelow = 0;
    // The strips; children of the window without names, so they are no
    // components, never panels and no part of the fitting.
    QWidget *FMarkAbove = nullptr;
    QWidget *FMarkBelow = nullptr;
    bool FFirstPaintLogged = false;
    // Built at the first lookup after a child of the window came or went or
    // a panel was adopted.
    mutable std::optional<TFrameIndex> FIndex;
};
