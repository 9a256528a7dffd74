// SPDX-License-Identifier: MIT
// Window states on X11 through xcb: the EWMH requests that Qt has no API for
// (skip-taskbar/skip-pager, below) and the compositor's selection, followed
// through XFixes.
#include "platform/WindowStyle.h"

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace {

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
XcbReply<T> takeReply(T *reply)
{
    return XcbReply<T>(reply, &std::free);
}

xcb_connection_t *connectionOf(void *display)
{
    return static_cast<xcb_connection_t *>(display);
}

xcb_atom_t internAtom(xcb_connection_t *c, const char *name)
{
    const auto reply = takeReply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_atom_t> atoms(xcb_connection_t *c, std::initializer_list<const char *> names)
{
    std::vector<xcb_atom_t> result;
    for (const char *name : names) {
        const xcb_atom_t atom = internAtom(c, name);
        if (atom != XCB_ATOM_NONE)
            result.push_back(atom);
    }
    return result;
}

// Adds and removes EWMH window states the way EWMH asks for it: a withdrawn
// (unmapped) window carries its wishes in its own _NET_WM_STATE property,
// which the window manager reads when it maps the window; a mapped window asks
// the window manager with _NET_WM_STATE client messages to the root window,
// and the window manager rewrites the property itself.
//
// Right after a show the window may still be unmapped while the window
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
        // Merge, so that states set by the toolkit or by others stay.
        std::vector<xcb_atom_t> states;
        const auto current = takeReply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, w, netWmState, XCB_ATOM_ATOM, 0, 1024), nullptr));
        if (current && current->type == XCB_ATOM_ATOM && current->format == 32) {
            const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(current.get()));
            states.assign(data, data + xcb_get_property_value_length(current.get()) / 4);
        }
        std::erase_if(states,
                      [&](xcb_atom_t a) { return std::find(remove.begin(), remove.end(), a) != remove.end(); });
        for (xcb_atom_t a : add) {
            if (std::find(states.begin(), states.end(), a) == states.end())
                states.push_back(a);
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, netWmState, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(states.size()), states.data());
    }

    enum : uint32_t { NetWmStateRemove = 0, NetWmStateAdd = 1 };
    const auto send = [&](uint32_t action, const std::vector<xcb_atom_t> &list) {
        // One message changes at most two states.
        for (std::size_t i = 0; i < list.size(); i += 2) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = w;
            event.type = netWmState;
            event.data.data32[0] = action;
            event.data.data32[1] = list[i];
            event.data.data32[2] = i + 1 < list.size() ? list[i + 1] : 0;
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

// The root window of the screen a window is on, and the compositor selection
// of that screen: EWMH has a compositing manager own _NET_WM_CM_S<screen
// number>. Both XCB_NONE when the window has gone.
struct CompositorSelection
{
    xcb_window_t Root = XCB_NONE;
    xcb_atom_t Selection = XCB_NONE;
};

CompositorSelection compositorSelectionOf(xcb_connection_t *c, xcb_window_t window)
{
    const auto tree = takeReply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree)
        return {};
    int screenNumber = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it), ++screenNumber) {
        if (it.data->root == tree->root)
            break;
    }
    const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
    return {tree->root, internAtom(c, name.c_str())};
}

bool selectionHasOwner(xcb_connection_t *c, xcb_atom_t selection)
{
    if (selection == XCB_NONE)
        return false;
    const auto owner = takeReply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return owner && owner->owner != XCB_NONE;
}

// Whether a compositing manager runs for the screen of window.
bool compositorRuns(xcb_connection_t *c, xcb_window_t window)
{
    return selectionHasOwner(c, compositorSelectionOf(c, window).Selection);
}

} // namespace

bool HasWindowSystem(void *display)
{
    return display != nullptr;
}

bool WindowStatesEndWithHide()
{
    return true;
}

void AddWindowStates(void *display, WindowHandle window, unsigned states)
{
    xcb_connection_t *c = connectionOf(display);
    if (!c || window == 0)
        return;
    std::vector<xcb_atom_t> add;
    if (states & StateSkipTaskbar) {
        for (xcb_atom_t a : atoms(c, {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}))
            add.push_back(a);
    }
    if (states & StateBelow) {
        for (xcb_atom_t a : atoms(c, {"_NET_WM_STATE_BELOW"}))
            add.push_back(a);
    }
    changeNetWmStates(c, static_cast<xcb_window_t>(window), add, {});
}

void RemoveStaysOnTop(void *display, WindowHandle window)
{
    xcb_connection_t *c = connectionOf(display);
    if (!c || window == 0)
        return;
    changeNetWmStates(c, static_cast<xcb_window_t>(window), {},
                      atoms(c, {"_NET_WM_STATE_ABOVE", "_NET_WM_STATE_STAYS_ON_TOP"}));
}

void FlushWindowSystem(void *display)
{
    if (xcb_connection_t *c = connectionOf(display))
        xcb_flush(c);
}

CornerResult SetWindowCorners(void *display, WindowHandle window, CornerPreference)
{
    xcb_connection_t *c = connectionOf(display);
    if (!c)
        return CornerResult::NotSupported;
    if (window == 0 || !compositorRuns(c, static_cast<xcb_window_t>(window)))
        return CornerResult::NoCompositor;
    return CornerResult::ShapeTheWindow;
}

CompositorWatch::CompositorWatch(void *display, WindowHandle window) : m_display(display)
{
    xcb_connection_t *c = connectionOf(display);
    if (!c || window == 0)
        return;
    const CompositorSelection selection = compositorSelectionOf(c, static_cast<xcb_window_t>(window));
    if (selection.Selection == XCB_NONE)
        return;
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return;
    // A client states the XFixes version it speaks before any other request
    // of the extension. The toolkit sharing the connection has done so
    // already; asking for the newest version these headers know never lowers
    // what it agreed.
    const auto version = takeReply(xcb_xfixes_query_version_reply(
        c, xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
    if (!version || version->major_version < 1)
        return;

    // The events are reported to a window of the watch's own, unmapped and
    // input-only: the caller's window may be replaced by the toolkit, and
    // other selection watches of the same connection stay untouched.
    const xcb_window_t own = xcb_generate_id(c);
    const uint32_t overrideRedirect = 1;
    xcb_create_window(c, 0, own, selection.Root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
    xcb_xfixes_select_selection_input(c, own, selection.Selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    m_window = own;
    m_selection = selection.Selection;
    m_notifyType = xfixes->first_event + XCB_XFIXES_SELECTION_NOTIFY;
    // Asked after the selection input: a change from here on is reported.
    m_runs = selectionHasOwner(c, m_selection);
}

CompositorWatch::~CompositorWatch()
{
    // Destroying the window ends the selection input reported to it.
    if (xcb_connection_t *c = connectionOf(m_display); c && m_window != 0) {
        xcb_destroy_window(c, m_window);
        xcb_flush(c);
    }
}

bool CompositorWatch::Handle(const void *event)
{
    if (m_window == 0 || !event)
        return false;
    const auto *generic = static_cast<const xcb_generic_event_t *>(event);
    if ((generic->response_type & 0x7F) != m_notifyType)
        return false;
    const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(event);
    if (notify->window != m_window || notify->selection != m_selection)
        return false;
    // A new owner, no owner, or an owner whose window or client has gone.
    m_runs = notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && notify->owner != XCB_NONE;
    return true;
}

} // namespace platform
