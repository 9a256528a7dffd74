// SPDX-License-Identifier: MIT
#include "shell/ScreenPlacement.h"

#include "shell/ShellLog.h"

#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace ScreenPlacement {

namespace {

qint64 Area(const QRect &rect)
{
    return rect.isEmpty() ? 0 : qint64(rect.width()) * rect.height();
}

// Squared distance from a point to the nearest point of a rectangle.
qint64 DistanceSquared(const QPoint &point, const QRect &rect)
{
    const qint64 dx = point.x() < rect.left() ? rect.left() - point.x()
        : point.x() > rect.right()            ? point.x() - rect.right()
                                              : 0;
    const qint64 dy = point.y() < rect.top() ? rect.top() - point.y()
        : point.y() > rect.bottom()          ? point.y() - rect.bottom()
                                             : 0;
    return dx * dx + dy * dy;
}

// The start of a span of the given length moved into [low, low + room): as
// little as possible, and to low when it does not fit.
int Inside(int start, int length, int low, int room)
{
    if (length >= room)
        return low;
    return std::clamp(start, low, low + room - length);
}

} // namespace

QPoint Place(const QRect &window, const QList<QRect> &screens)
{
    const qint64 windowArea = std::max<qint64>(Area(window), 1);
    const QRect *target = nullptr;
    qint64 bestOverlap = 0;
    for (const QRect &screen : screens) {
        if (screen.isEmpty())
            continue;
        const qint64 overlap = Area(window.intersected(screen));
        if (overlap * 2 >= windowArea)
            return window.topLeft();
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            target = &screen;
        }
    }
    if (!target) {
        qint64 nearest = std::numeric_limits<qint64>::max();
        for (const QRect &screen : screens) {
            if (screen.isEmpty())
                continue;
            if (const qint64 distance = DistanceSquared(window.center(), screen); distance < nearest) {
                nearest = distance;
                target = &screen;
            }
        }
    }
    if (!target)
        return window.topLeft();
    return {Inside(window.x(), window.width(), target->x(), target->width()),
            Inside(window.y(), window.height(), target->y(), target->height())};
}

namespace {

QRect DeviceGeometry(const TScreenScale &screen)
{
    return {
        screen.Geometry.topLeft(),
        QSize(qRound(screen.Geometry.width() * screen.Ratio), qRound(screen.Geometry.height() * screen.Ratio))};
}

// The screen holding the point in the given geometry, else the nearest.
const TScreenScale *ScreenFor(const QPoint &point, const QList<TScreenScale> &screens,
                              QRect (*geometry)(const TScreenScale &))
{
    const TScreenScale *nearest = nullptr;
    qint64 best = std::numeric_limits<qint64>::max();
    for (const TScreenScale &screen : screens) {
        const QRect area = geometry(screen);
        if (area.isEmpty() || screen.Ratio <= 0)
            continue;
        if (area.contains(point))
            return &screen;
        if (const qint64 distance = DistanceSquared(point, area); distance < best) {
            best = distance;
            nearest = &screen;
        }
    }
    return nearest;
}

QRect LogicalGeometry(const TScreenScale &screen)
{
    return screen.Geometry;
}

} // namespace

QList<TScreenScale> Screens()
{
    QList<TScreenScale> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append({screen->geometry(), screen->devicePixelRatio()});
    return screens;
}

QPoint ToDevice(const QPoint &logical, const QList<TScreenScale> &screens)
{
    const TScreenScale *screen = ScreenFor(logical, screens, LogicalGeometry);
    if (!screen)
        return logical;
    const QPoint origin = screen->Geometry.topLeft();
    return origin
        + QPoint(qRound((logical.x() - origin.x()) * screen->Ratio),
                 qRound((logical.y() - origin.y()) * screen->Ratio));
}

QPoint FromDevice(const QPoint &device, const QList<TScreenScale> &screens)
{
    const TScreenScale *screen = ScreenFor(device, screens, DeviceGeometry);
    if (!screen)
        return device;
    const QPoint origin = screen->Geometry.topLeft();
    return origin
        + QPoint(qRound((device.x() - origin.x()) / screen->Ratio),
                 qRound((device.y() - origin.y()) / screen->Ratio));
}

} // namespace ScreenPlacement

QPoint TSavedPlace::Restore(const QPoint &device, const QList<ScreenPlacement::TScreenScale> &screens)
{
    FRestored = true;
    FDevice = device;
    FLogical = ScreenPlacement::FromDevice(device, screens);
    return FLogical;
}

QPoint TSavedPlace::ToSave(const QPoint &logical, const QList<ScreenPlacement::TScreenScale> &screens) const
{
    if (FRestored && logical == FLogical)
        return FDevice;
    return ScreenPlacement::ToDevice(logical, screens);
}

TScreenKeeper::TScreenKeeper(QWidget *window) : QObject(window), FWindow(window)
{
    window->installEventFilter(this);
    for (QScreen *screen : QGuiApplication::screens())
        Watch(screen);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        Watch(screen);
        KeepLater();
    });
    connect(qApp, &QGuiApplication::screenRemoved, this, &TScreenKeeper::KeepLater);
}

bool TScreenKeeper::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FWindow && event->type() == QEvent::Resize) {
        const QSize size = static_cast<QResizeEvent *>(event)->size();
        if (size.width() > 1 && size.height() > 1)
            FLastSize = FWindow->frameGeometry().size().expandedTo(size);
    }
    return QObject::eventFilter(watched, event);
}

void TScreenKeeper::Watch(QScreen *screen)
{
    connect(screen, &QScreen::availableGeometryChanged, this, &TScreenKeeper::KeepLater);
    connect(screen, &QScreen::geometryChanged, this, &TScreenKeeper::KeepLater);
}

// A change of screens comes as several signals in a row (the removed screen,
// then the new area of the one left, the work area the window manager
// publishes after): one placement once they are all in and the window has
// its place on the new screen.
void TScreenKeeper::KeepLater()
{
    if (FPending)
        return;
    FPending = true;
    QTimer::singleShot(250, this, [this] {
        FPending = false;
        Keep();
    });
}

bool TScreenKeeper::Keep()
{
    if (!FWindow)
        return false;
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    QRect now = FWindow->frameGeometry();
    qCDebug(lcShell) << "screens" << areas << "window" << now;
    // While Qt moves a window to the screens it has just learnt, the window
    // can be 1 x 1 for a while: placed again once it has its size back, and
    // after a few seconds placed with the last size it had, which is what it
    // takes on the screen when it shows again.
    if (FWindow->isVisible() && (now.width() <= 1 || now.height() <= 1)) {
        if (FSmallRetries < 8) {
            ++FSmallRetries;
            KeepLater();
            return false;
        }
        if (FLastSize.isValid())
            now.setSize(FLastSize);
    }
    FSmallRetries = 0;
    const QPoint place = ScreenPlacement::Place(now, areas);
    if (place == now.topLeft())
        return false;
    qCDebug(lcShell).nospace() << "window brought onto a screen: " << now.x() << ',' << now.y() << " -> "
                               << place.x() << ',' << place.y();
    FWindow->move(place);
    return true;
}
