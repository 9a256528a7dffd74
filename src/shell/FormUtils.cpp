// SPDX-License-Identifier: MIT
#include "shell/FormUtils.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWidget>
#include <QWindow>

#ifdef _WIN32
#include "platform/win/WinWindowStyle.h"
#else
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>
#endif

namespace {

#ifndef _WIN32

Q_LOGGING_CATEGORY(lcAppearance, "velmora.shell.appearance")

template<typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
XcbReply<T> takeReply(T *reply)
{
    return XcbReply<T>(reply, &std::free);
}

// The X connection when Qt runs on its xcb platform, otherwise nullptr.
xcb_connection_t *x11Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const auto reply = takeReply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Adds and removes EWMH window states the way EWMH asks for it: a withdrawn
// (unmapped) window carries its wishes in its own _NET_WM_STATE property,
// which the window manager reads when it maps the window; a mapped window asks
// the window manager with _NET_WM_STATE client messages to the root window,
// and the window manager rewrites the property itself.
//
// Right after QWidget::show() the window is still unmapped while the window
// manager handles the map request, and it may already have read the property.
// So an unmapped window gets the client messages as well: a window manager
// ignores them for a window it does not manage, and acts on them once it does.
void changeNetWmStates(xcb_connection_t *c, xcb_window_t w, const std::vector<xcb_atom_t> &add,
                       const std::vector<xcb_atom_t> &remove)
{
    const xcb_atom_t netWmState = internAtom(c, "_NET_WM_STATE");
    const auto attributes = takeReply(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
    const auto tree = takeReply(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (netWmState == XCB_ATOM_NONE || !attributes || !tree)
        return;

    if (attributes->map_state == XCB_MAP_STATE_UNMAPPED) {
        // Merge, so that states set by Qt or by others stay.
        std::vector<xcb_atom_t> states;
        const auto current = takeReply(xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, netWmState, XCB_ATOM_ATOM, 0, 1024), nullptr));
        if (current && current->type == XCB_ATOM_ATOM && current->format == 32) {
            const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(current.get()));
            states.assign(data, data + xcb_get_property_value_length(current.get()) / 4);
        }
        std::erase_if(states, [&](xcb_atom_t a) {
            return std::find(remove.begin(), remove.end(), a) != remove.end();
        });
        for (xcb_atom_t a : add) {
            if (std::find(states.begin(), states.end(), a) == states.end())
                states.push_back(a);
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netWmState, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.data());
    }

    enum : uint32_t { NetWmStateRemove = 0, NetWmStateAdd = 1 };
    const auto send = [&](uint32_t action, const std::vector<xcb_atom_t> &atoms) {
        // One message changes at most two states.
        for (std::size_t i = 0; i < atoms.size(); i += 2) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = w;
            event.type = netWmState;
            event.data.data32[0] = action;
            event.data.data32[1] = atoms[i];
            event.data.data32[2] = i + 1 < atoms.size() ? atoms[i + 1] : 0;
            event.data.data32[3] = 1; // source: a normal application
            xcb_send_event(c, 0, tree->root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                           reinterpret_cast<const char *>(&event));
        }
    };
    send(NetWmStateRemove, remove);
    send(NetWmStateAdd, add);
    xcb_flush(c);
}

// The native X window of a widget window. QWidget::winId() can be stale:
// Qt's xcb platform replaces the X window behind the same QWindow when the
// stays-on-top/bottom hints change.
xcb_window_t x11Window(QWidget *window)
{
    window->winId(); // creates the native window when it does not exist yet
    QWindow *handle = window->windowHandle();
    return handle ? static_cast<xcb_window_t>(handle->winId()) : xcb_window_t(XCB_WINDOW_NONE);
}

std::vector<xcb_atom_t> atoms(xcb_connection_t *c, const QByteArrayList &names)
{
    std::vector<xcb_atom_t> result;
    for (const QByteArray &name : names) {
        const xcb_atom_t atom = internAtom(c, name.constData());
        if (atom != XCB_ATOM_NONE)
            result.push_back(atom);
    }
    return result;
}

// Lives as a child of the window and asks for its EWMH states again whenever
// the window is shown, since a window manager drops the states of a window
// when it is withdrawn. QWidget sends QEvent::Show before it maps the native
// window, so the states go into the property that the window manager reads
// at mapping time; a window that the system maps by itself (after
// iconification) is found mapped and gets client messages instead.
class NetWmStateKeeper final : public QObject
{
public:
    static NetWmStateKeeper *of(QWidget *window)
    {
        const QString name = QStringLiteral("velmoraNetWmStateKeeper");
        if (auto *keeper = window->findChild<QObject *>(name, Qt::FindDirectChildrenOnly))
            return static_cast<NetWmStateKeeper *>(keeper);
        auto *keeper = new NetWmStateKeeper(window);
        keeper->setObjectName(name);
        return keeper;
    }

    // Adds states to keep and asks for all of them now.
    void keep(const QByteArrayList &states)
    {
        for (const QByteArray &state : states) {
            if (!FStates.contains(state))
                FStates.append(state);
        }
        apply();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == FWindow && event->type() == QEvent::Show) {
            apply();
            // After a change of the stays-on-top/bottom hints Qt's xcb
            // platform replaces the X window inside the show that follows,
            // so ask once more when the show is done.
            QMetaObject::invokeMethod(this, &NetWmStateKeeper::apply, Qt::QueuedConnection);
        }
        return false;
    }

private:
    explicit NetWmStateKeeper(QWidget *window)
        : QObject(window)
        , FWindow(window)
    {
        window->installEventFilter(this);
    }

    void apply()
    {
        if (xcb_connection_t *c = x11Connection())
            changeNetWmStates(c, x11Window(FWindow), atoms(c, FStates), {});
    }

    QWidget *FWindow;
    QByteArrayList FStates;
};

#endif // !_WIN32

} // namespace

namespace FormUtils {

#ifdef _WIN32

void SendToBottom(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    void *hwnd = reinterpret_cast<void *>(window->winId());
    // Qt must know the window as visible; SWP_SHOWWINDOW alone would not tell it.
    if (!window->isVisible())
        window->show();
    platform::win::SendToBottom(hwnd);
}

void HideFromTaskbar(QWidget *window)
{
    if (!window)
        return;
    platform::win::HideFromTaskbar(reinterpret_cast<void *>(window->window()->winId()));
}

#else

void SendToBottom(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        // QWidget recreates the window for the new flags (and hides it); a
        // change through the QWindow alone would make Qt's xcb platform
        // replace the X window behind QWidget's back at the next show.
        window->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    }
    if (!window->isVisible())
        window->show();

    if (xcb_connection_t *c = x11Connection()) {
        // The window manager's own menu may have put the window above.
        changeNetWmStates(c, x11Window(window), {},
                          atoms(c, {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STAYS_ON_TOP"}));
        // _NET_WM_STATE_BELOW keeps it under normal windows (in the window
        // manager's bottom layer) also when it is activated, until it is
        // withdrawn; the keeper asks for it again at every show.
        NetWmStateKeeper::of(window)->keep({"_NET_WM_STATE_BELOW"});
        window->lower();
        // Qt leaves the restack request in its buffer.
        xcb_flush(c);
    } else {
        window->lower();
    }
}

void HideFromTaskbar(QWidget *window)
{
    if (!window)
        return;
    window = window->window();
    if (!x11Connection()) {
        qCDebug(lcAppearance) << "no taskbar states on platform" << QGuiApplication::platformName();
        return;
    }
    NetWmStateKeeper::of(window)->keep({"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"});
}

#endif

} // namespace FormUtils
