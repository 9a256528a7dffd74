// SPDX-License-Identifier: MIT
#include "shell/rounded_corners.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPainterPath>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#ifdef _WIN32
#include "platform/win/WinWindowStyle.h"
#else
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>
#endif

namespace rounded_corners {

std::uint32_t CornerPreferenceValue(TCornerPreference preference)
{
    switch (preference) {
    case cpDoNotRound:
        return 1;
    case cpRound:
        return 2;
    case cpRoundSmall:
        return 3;
    default:
        return 0;
    }
}

int CornerRadius(TCornerPreference preference)
{
    // The radii Windows 11 uses for round and small round corners.
    switch (preference) {
    case cpRound:
        return 8;
    case cpRoundSmall:
        return 4;
    default:
        return 0;
    }
}

#ifdef _WIN32

TCornerResult SetWindowCorners(QWidget *window, TCornerPreference preference)
{
    if (!window)
        return CornersInvalidWindow;
    window = window->window();
    const auto value =
        static_cast<platform::win::CornerPreference>(CornerPreferenceValue(preference));
    return static_cast<TCornerResult>(
        platform::win::SetWindowCorners(reinterpret_cast<void *>(window->winId()), value));
}

#else

namespace {

template<typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
XcbReply<T> takeReply(T *reply)
{
    return XcbReply<T>(reply, &std::free);
}

// Whether a compositing manager runs for the screen of window: EWMH has it
// own the selection _NET_WM_CM_S<screen number>.
bool compositorRuns(xcb_connection_t *c, xcb_window_t window)
{
    const auto tree = takeReply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree)
        return false;
    int screenNumber = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem;
         xcb_screen_next(&it), ++screenNumber) {
        if (it.data->root == tree->root)
            break;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    const auto atom = takeReply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr));
    if (!atom)
        return false;
    const auto owner = takeReply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

QRegion roundedRegion(const QSize &size, int radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(QPointF(0, 0), size), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
}

// Child of the window that keeps its rounded mask in step with its size (the
// widget window changes its height with the number of drives).
class CornerMaskKeeper final : public QObject
{
public:
    static constexpr const char *Name = "velmoraCornerMaskKeeper";

    CornerMaskKeeper(QWidget *window, int radius)
        : QObject(window)
        , FWindow(window)
        , FRadius(radius)
    {
        setObjectName(QLatin1String(Name));
        window->installEventFilter(this);
        apply();
    }

    void setRadius(int radius)
    {
        FRadius = radius;
        apply();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == FWindow && event->type() == QEvent::Resize)
            apply();
        return false;
    }

private:
    void apply() { FWindow->setMask(roundedRegion(FWindow->size(), FRadius)); }

    QWidget *FWindow;
    int FRadius;
};

} // namespace

TCornerResult SetWindowCorners(QWidget *window, TCornerPreference preference)
{
    if (!window)
        return CornersInvalidWindow;
    window = window->window();
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return CornersNotSupported;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return CornersNotSupported;
    window->winId(); // creates the native window when it does not exist yet
    // Not QWidget::winId(): Qt's xcb platform may have replaced the X window.
    const QWindow *handle = window->windowHandle();
    if (!handle || !compositorRuns(c, static_cast<xcb_window_t>(handle->winId())))
        return CornersNoCompositor;

    auto *keeper = static_cast<CornerMaskKeeper *>(window->findChild<QObject *>(
        QLatin1String(CornerMaskKeeper::Name), Qt::FindDirectChildrenOnly));
    const int radius = CornerRadius(preference);
    if (radius == 0) {
        delete keeper;
        window->clearMask();
    } else if (keeper) {
        keeper->setRadius(radius);
    } else {
        new CornerMaskKeeper(window, radius);
    }
    // Qt leaves the shape request in its buffer.
    xcb_flush(c);
    return CornersApplied;
}

#endif

} // namespace rounded_corners
