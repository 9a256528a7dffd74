// SPDX-License-Identifier: MIT
#include "shell/PanelColumn.h"

#include "panels/frDisco.h"
#include "shell/ShellLog.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QScreen>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <functional>

namespace {

constexpr int kMarkHeight = 12;

// A strip across the top or the bottom of the window with an arrow pointing
// at the drives out of view; a click on it scrolls toward them.
class TScrollMark : public QWidget
{
public:
    TScrollMark(QWidget *window, bool up, std::function<void()> click)
        : QWidget(window), FUp(up), FClick(std::move(click))
    {
        setCursor(Qt::PointingHandCursor);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // Dark under a light arrow whatever the panel below it shows.
        painter.fillRect(rect(), QColor(20, 26, 33, 215));
        const double cx = width() / 2.0;
        const double top = 3;
        const double bottom = height() - 3;
        QPolygonF arrow;
        if (FUp)
            arrow << QPointF(cx - 7, bottom) << QPointF(cx + 7, bottom) << QPointF(cx, top);
        else
            arrow << QPointF(cx - 7, top) << QPointF(cx + 7, top) << QPointF(cx, bottom);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(244, 247, 250));
        painter.drawPolygon(arrow);
    }
    void mousePressEvent(QMouseEvent *event) override
    {
        event->accept();
        if (event->button() == Qt::LeftButton && FClick)
            FClick();
    }

private:
    bool FUp;
    std::function<void()> FClick;
};

} // namespace

TMachineHeading::TMachineHeading(QWidget *window, const QString &name) : QLabel(window)
{
    // The machine's name as its source gave it: plain text, never markup.
    setTextFormat(Qt::PlainText);
    setText(name);
    setIndent(8);
    setAutoFillBackground(true);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    resize(TFrameDrive().sizeHint().width(), Height);
    SetFailure(QString());
}

void TMachineHeading::SetFailure(const QString &reason)
{
    FFailure = reason;
    // White on a dark slate, or on a mid grey while the machine does not
    // answer: both far above 4.5:1.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, reason.isEmpty() ? QColor(31, 42, 54) : QColor(90, 95, 102));
    colours.setColor(QPalette::WindowText, Qt::white);
    setPalette(colours);
    setToolTip(reason);
}

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
    FMarkAbove = new TScrollMark(window, true, [this] { ScrollBy(-PanelHeight()); });
    FMarkBelow = new TScrollMark(window, false, [this] { ScrollBy(PanelHeight()); });
    FMarkAbove->installEventFilter(this);
    FMarkBelow->installEventFilter(this);
}

int TPanelColumn::PanelHeight() const
{
    for (TFrameDrive *frame : Frames())
        if (!frame->isHidden())
            return frame->height();
    return TFrameDrive().sizeHint().height();
}

void TPanelColumn::ScrollBy(int pixels)
{
    FScroll += pixels;
    Fit();
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

TMachineHeading *TPanelColumn::AddHeading(const QString &name)
{
    auto *heading = new TMachineHeading(FWindow, name);
    heading->installEventFilter(this);
    heading->show();
    return heading;
}

QList<TMachineHeading *> TPanelColumn::Headings() const
{
    QList<TMachineHeading *> headings;
    for (QObject *child : FWindow->children())
        if (auto *heading = qobject_cast<TMachineHeading *>(child))
            headings.append(heading);
    return headings;
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
    for (QObject *child : FWindow->children()) {
        auto *frame = qobject_cast<TFrameDrive *>(child);
        auto *heading = qobject_cast<TMachineHeading *>(child);
        QWidget *w = frame ? static_cast<QWidget *>(frame) : heading;
        if (!w || w->isHidden())
            continue;
        const int h = heading ? TMachineHeading::Height
                              : (frame->height() > 0 ? frame->height() : frame->sizeHint().height());
        w->setGeometry(0, top, FWidth, h);
        top += h;
    }

    QRect bounds;
    QList<QWidget *> visible;
    for (QObject *child : FWindow->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (!w || w->isWindow() || w->isHidden() || w == FMarkAbove || w == FMarkBelow)
            continue;
        visible.append(w);
        bounds = bounds.united(w->geometry());
    }
    if (visible.isEmpty()) {
        FFittedSize = QSize(0, 0);
        ShowMarks(visible, 0);
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
    ShowMarks(visible, fitted.height());
    // Wholly within the usable area from top to bottom: a window that would
    // reach below it (a place saved low on the screen, drives added since)
    // moves up, one taller than it starts at its top.
    if (where && limit > 0) {
        const QRect area = where->availableGeometry();
        const int top = std::clamp(FWindow->y(), area.top(),
                                   std::max(area.top(), area.bottom() + 1 - fitted.height()));
        if (top != FWindow->y()) {
            qCDebug(lcShell) << "window moved up into the screen:" << FWindow->y() << "->" << top;
            FWindow->move(FWindow->x(), top);
        }
    }
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

void TPanelColumn::ShowMarks(const QList<QWidget *> &visible, int height)
{
    int above = 0;
    int below = 0;
    for (QWidget *w : visible) {
        if (!qobject_cast<TFrameDrive *>(w))
            continue;
        above += w->y() < 0 ? 1 : 0;
        below += w->y() + w->height() > height ? 1 : 0;
    }
    FMarkAbove->setGeometry(0, 0, FWidth, kMarkHeight);
    FMarkBelow->setGeometry(0, height - kMarkHeight, FWidth, kMarkHeight);
    FMarkAbove->setVisible(above > 0);
    FMarkBelow->setVisible(below > 0);
    FMarkAbove->raise();
    FMarkBelow->raise();
    if (above != FMoreAbove || below != FMoreBelow) {
        FMoreAbove = above;
        FMoreBelow = below;
        qCDebug(lcShell) << "drives out of view: above" << above << "below" << below;
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
    if (event->type() == QEvent::Wheel
        && (qobject_cast<TFrameDrive *>(watched) || qobject_cast<TMachineHeading *>(watched)
            || watched == FMarkAbove || watched == FMarkBelow)) {
        // Fit keeps the offset in range and drops it when everything fits.
        ScrollBy(-static_cast<QWheelEvent *>(event)->angleDelta().y() * PanelHeight() / 120);
        return true;
    }
    if (event->type() == QEvent::Paint && !FFirstPaintLogged && qobject_cast<TFrameDrive *>(watched)) {
        FFirstPaintLogged = true;
        qCDebug(lcShell) << "first panel painted:" << watched->objectName();
    }
    return QObject::eventFilter(watched, event);
}
