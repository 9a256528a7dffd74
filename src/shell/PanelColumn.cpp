// SPDX-License-Identifier: MIT
#include "shell/PanelColumn.h"

#include "panels/frDisco.h"
#include "shell/ShellLog.h"

#include <QScreen>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>

TFrameIndex::TFrameIndex(const QList<TFrameDrive *> &frames)
{
    for (TFrameDrive *frame : frames)
        if (!FExact.contains(frame->Nombre()))
            FExact.insert(frame->Nombre(), frame);
}

TFrameDrive *TFrameIndex::Find(const QString &name) const
{
    return FExact.value(name);
}

TPanelColumn::TPanelColumn(QWidget *window, int width) : FWindow(window), FWidth(width)
{
    // Panels come and go as children of the window.
    window->installEventFilter(this);
}

QList<TFrameDrive *> TPanelColumn::Frames() const
{
    QList<TFrameDrive *> frames;
    for (QObject *child : FWindow->children())
        if (auto *frame = qobject_cast<TFrameDrive *>(child))
            frames.append(frame);
    return frames;
}

void TPanelColumn::Adopt(TFrameDrive *frame)
{
    // Its name is known by now.
    FIndex.reset();
    frame->installEventFilter(this);
}

TFrameDrive *TPanelColumn::Find(const QString &name) const
{
    if (!FIndex)
        FIndex.emplace(Frames());
    return FIndex->Find(name);
}

void TPanelColumn::Fit()
{
    // Panels are aligned to the top: the visible ones stack without gaps
    // across the design width (a window that once shrank to the start text
    // must not narrow the panels).
    int top = 0;
    for (TFrameDrive *frame : Frames()) {
        if (frame->isHidden())
            continue;
        const int h = frame->height() > 0 ? frame->height() : frame->sizeHint().height();
        frame->setGeometry(0, top, FWidth, h);
        top += h;
    }

    QRect bounds;
    QList<QWidget *> visible;
    for (QObject *child : FWindow->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (!w || w->isWindow() || w->isHidden())
            continue;
        visible.append(w);
        bounds = bounds.united(w->geometry());
    }
    if (visible.isEmpty()) {
        FFittedSize = QSize(0, 0);
        if (FWindow->isVisible()) {
            FHiddenEmpty = true;
            FWindow->hide();
        }
        return;
    }
    for (QWidget *w : visible)
        w->move(w->pos() - bounds.topLeft());
    QSize fitted = bounds.size();
    const QScreen *where = FWindow->screen();
    const int limit = where ? where->availableGeometry().height() : 0;
    if (limit > 0 && fitted.height() > limit) {
        FScroll = std::clamp(FScroll, 0, fitted.height() - limit);
        for (QWidget *w : visible)
            w->move(w->x(), w->y() - FScroll);
        fitted.setHeight(limit);
    } else {
        FScroll = 0;
    }
    FFittedSize = fitted;
    ShowInView(fitted.height());
    FWindow->resize(fitted);
    if (FHiddenEmpty) {
        FHiddenEmpty = false;
        FWindow->show();
    }
}

void TPanelColumn::ShowInView(int height)
{
    // Only the panels in view have their controls: a column of thousands of
    // drives costs a screenful of them. Those within one window height of
    // the view keep theirs, so that scrolling to and fro does not rebuild
    // the same panels again and again.
    for (TFrameDrive *frame : Frames()) {
        const int top = frame->y();
        const int bottom = top + frame->height();
        if (frame->isHidden() || bottom <= -height || top >= 2 * height)
            frame->ReleaseControls();
        else if (bottom > 0 && top < height)
            frame->BuildControls();
    }
}

bool TPanelColumn::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FWindow) {
        // A panel that goes must not be found any more.
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved)
            FIndex.reset();
        return QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Wheel && qobject_cast<TFrameDrive *>(watched)) {
        // Fit keeps the offset in range and drops it when everything fits.
        const auto *frame = static_cast<QWidget *>(watched);
        FScroll -= static_cast<QWheelEvent *>(event)->angleDelta().y() * frame->height() / 120;
        Fit();
        return true;
    }
    if (event->type() == QEvent::Paint && !FFirstPaintLogged && qobject_cast<TFrameDrive *>(watched)) {
        FFirstPaintLogged = true;
        qCDebug(lcShell) << "first panel painted:" << watched->objectName();
    }
    return QObject::eventFilter(watched, event);
}
