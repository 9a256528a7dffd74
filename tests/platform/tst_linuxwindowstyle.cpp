// SPDX-License-Identifier: MIT
// The X11 half of platform/WindowStyle.h against a real X server (Xvfb, no
// window manager): the test's own connection plays the window manager where
// one is needed, receiving the _NET_WM_STATE requests and owning the
// compositor selection.
#include "platform/WindowStyle.h"

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// One Xvfb for the whole program.
class XServer : public ::testing::Environment
{
public:
    void SetUp() override
    {
        // The server picks a free display itself and reports its number on
        // a pipe (-displayfd): test programs run in parallel, and choosing a
        // number by looking for free lock files races with them.
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            sSkipReason = "could not make a pipe for Xvfb";
            return;
        }
        const char *argv[] = {"Xvfb",       "-displayfd", "3",   "-screen", "0",
                              "640x480x24", "-nolisten",  "tcp", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        const int spawned = posix_spawnp(&sServer, "Xvfb", &actions, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) {
            ::close(fds[0]);
            sSkipReason = "needs Xvfb (xvfb): the X11 window states NOT tested";
            sServer = 0;
            return;
        }
        // The number arrives once the server listens; end of file means it died.
        std::string number;
        char ch = 0;
        while (number.size() < 16 && ::read(fds[0], &ch, 1) == 1 && ch != '\n')
            number += ch;
        ::close(fds[0]);
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
            stopServer();
            sSkipReason = "Xvfb did not report a display number";
            return;
        }
        xcb_connection_t *c = xcb_connect((":" + number).c_str(), nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            stopServer();
            sSkipReason = "could not connect to the Xvfb on :" + number;
            return;
        }
        sConnection = c;
        sDisplay = ":" + number;
    }

    void TearDown() override
    {
        if (sConnection)
            xcb_disconnect(sConnection);
        sConnection = nullptr;
        stopServer();
    }

    static void stopServer()
    {
        if (sServer > 0) {
            ::kill(sServer, SIGTERM);
            ::waitpid(sServer, nullptr, 0);
        }
        sServer = 0;
    }

    static inline xcb_connection_t *sConnection = nullptr;
    static inline std::string sDisplay;
    static inline pid_t sServer = 0;
    static inline std::string sSkipReason;
};

class X11WindowStyle : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!XServer::sConnection)
            GTEST_SKIP() << XServer::sSkipReason;
        c = XServer::sConnection;
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        window = newWindow();
    }
    void TearDown() override
    {
        if (c) {
            for (xcb_window_t w : windows)
                xcb_destroy_window(c, w);
            xcb_flush(c);
        }
    }

    xcb_window_t newWindow()
    {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 100, 50, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_flush(c);
        windows.push_back(w);
        return w;
    }

    xcb_atom_t atom(const char *name)
    {
        auto *reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    }

    std::vector<xcb_atom_t> states(xcb_window_t w)
    {
        std::vector<xcb_atom_t> result;
        auto *reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, w, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 1024), nullptr);
        if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
            const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
            result.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        return result;
    }

    void setStates(xcb_window_t w, const std::vector<xcb_atom_t> &list)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(list.size()), list.data());
        xcb_flush(c);
    }

    platform::WindowHandle handle() const { return window; }

    xcb_connection_t *c = nullptr;
    xcb_window_t root = 0;
    xcb_window_t window = 0;
    std::vector<xcb_window_t> windows;
};

TEST(WindowStyleWithoutDisplay, NothingToAsk)
{
    EXPECT_FALSE(platform::HasWindowSystem(nullptr));
    EXPECT_TRUE(platform::WindowStatesEndWithHide());
    EXPECT_EQ(platform::SetWindowCorners(nullptr, 42, platform::CornerPreference::Round),
              platform::CornerResult::NotSupported);
    platform::AddWindowStates(nullptr, 42, platform::StateBelow);
    platform::RemoveStaysOnTop(nullptr, 42);
    platform::FlushWindowSystem(nullptr);
    platform::CompositorWatch watch(nullptr, 42);
    EXPECT_FALSE(watch.IsWatching());
    EXPECT_FALSE(watch.Handle(nullptr));
}

TEST_F(X11WindowStyle, WithdrawnWindowCarriesItsStatesMergedWithOthers)
{
    const xcb_atom_t modal = atom("_NET_WM_STATE_MODAL");
    setStates(window, {modal, atom("_NET_WM_STATE_ABOVE"), atom("_NET_WM_STATE_STAYS_ON_TOP")});
    EXPECT_TRUE(platform::HasWindowSystem(c));

    platform::RemoveStaysOnTop(c, handle());
    EXPECT_EQ(states(window), std::vector<xcb_atom_t>{modal});

    platform::AddWindowStates(c, handle(), platform::StateSkipTaskbar | platform::StateBelow);
    const std::vector<xcb_atom_t> expected{modal, atom("_NET_WM_STATE_SKIP_TASKBAR"),
                                           atom("_NET_WM_STATE_SKIP_PAGER"), atom("_NET_WM_STATE_BELOW")};
    EXPECT_EQ(states(window), expected);
    // Asking again adds nothing twice.
    platform::AddWindowStates(c, handle(), platform::StateBelow);
    EXPECT_EQ(states(window), expected);
}

TEST_F(X11WindowStyle, WindowManagerGetsTheEwmhRequests)
{
    // This connection plays the window manager: it redirects the root's
    // substructure, which is where _NET_WM_STATE requests are sent.
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    auto *error = xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask));
    ASSERT_EQ(error, nullptr) << "another client redirects the root window";
    while (auto *pending = xcb_poll_for_event(c))
        std::free(pending);

    platform::RemoveStaysOnTop(c, handle());
    platform::AddWindowStates(c, handle(), platform::StateSkipTaskbar | platform::StateBelow);

    // EWMH: data32 = action (0 remove, 1 add), first and second property,
    // source indication (1, a normal application); at most two a message.
    const struct
    {
        uint32_t Action;
        xcb_atom_t First;
        xcb_atom_t Second;
    } expected[] = {
        {0, atom("_NET_WM_STATE_ABOVE"), atom("_NET_WM_STATE_STAYS_ON_TOP")},
        {1, atom("_NET_WM_STATE_SKIP_TASKBAR"), atom("_NET_WM_STATE_SKIP_PAGER")},
        {1, atom("_NET_WM_STATE_BELOW"), 0},
    };
    for (const auto &e : expected) {
        xcb_generic_event_t *event = nullptr;
        for (int i = 0; i < 200 && !event; ++i) {
            event = xcb_poll_for_event(c);
            if (!event)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_NE(event, nullptr) << "no request for action " << e.Action;
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
        ASSERT_EQ(event->response_type & 0x7F, XCB_CLIENT_MESSAGE);
        const auto *message = reinterpret_cast<xcb_client_message_event_t *>(event);
        EXPECT_EQ(message->window, window);
        EXPECT_EQ(message->type, atom("_NET_WM_STATE"));
        EXPECT_EQ(message->format, 32);
        EXPECT_EQ(message->data.data32[0], e.Action);
        EXPECT_EQ(message->data.data32[1], e.First);
        EXPECT_EQ(message->data.data32[2], e.Second);
        EXPECT_EQ(message->data.data32[3], 1u);
    }
    const uint32_t none = 0;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &none);
    xcb_flush(c);
}

TEST_F(X11WindowStyle, CornersAreShapedOnlyWhileACompositorRuns)
{
    using platform::CornerPreference;
    using platform::CornerResult;
    EXPECT_EQ(platform::SetWindowCorners(c, handle(), CornerPreference::Round), CornerResult::NoCompositor);
    EXPECT_EQ(platform::SetWindowCorners(c, 0, CornerPreference::Round), CornerResult::NoCompositor);

    // A compositing manager owns _NET_WM_CM_S<screen>.
    const xcb_window_t owner = newWindow();
    xcb_set_selection_owner(c, owner, atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
    xcb_flush(c);
    for (const auto preference : {CornerPreference::Round, CornerPreference::DoNotRound})
        EXPECT_EQ(platform::SetWindowCorners(c, handle(), preference), CornerResult::ShapeTheWindow);

    xcb_set_selection_owner(c, XCB_NONE, atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
    xcb_flush(c);
    EXPECT_EQ(platform::SetWindowCorners(c, handle(), CornerPreference::Round), CornerResult::NoCompositor);
}

// Another client of the same server, in the part of compositing managers:
// it takes and drops selections, and its end drops its claims the way a
// compositor that is killed does.
class OtherClient
{
public:
    explicit OtherClient(const std::string &display) : FConnection(xcb_connect(display.c_str(), nullptr)) {}
    ~OtherClient() { xcb_disconnect(FConnection); }
    OtherClient(const OtherClient &) = delete;
    OtherClient &operator=(const OtherClient &) = delete;

    bool connected() const { return !xcb_connection_has_error(FConnection); }

    xcb_window_t newWindow()
    {
        const xcb_window_t w = xcb_generate_id(FConnection);
        xcb_create_window(FConnection, 0, w, xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data->root, 0, 0,
                          1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        return w;
    }
    // Both return once the server has done the request.
    void own(xcb_atom_t selection, xcb_window_t owner)
    {
        xcb_set_selection_owner(FConnection, owner, selection, XCB_CURRENT_TIME);
        sync();
    }
    void destroy(xcb_window_t w)
    {
        xcb_destroy_window(FConnection, w);
        sync();
    }

private:
    void sync() { std::free(xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr)); }

    xcb_connection_t *FConnection;
};

class X11CompositorWatch : public X11WindowStyle
{
protected:
    // What the watch reports from the events on the test's connection: the
    // state after each change, in order. Waits for the awaited number of
    // reports (a closed client is cleaned up by the server in its own time),
    // then takes whatever else the server sent until now.
    std::vector<bool> reports(platform::CompositorWatch &watch, std::size_t awaited)
    {
        std::vector<bool> result;
        const auto take = [&](xcb_generic_event_t *event) {
            if (watch.Handle(event))
                result.push_back(watch.CompositorRuns());
            std::free(event);
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (result.size() < awaited && std::chrono::steady_clock::now() < deadline) {
            if (auto *event = xcb_poll_for_event(c))
                take(event);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        while (auto *event = xcb_poll_for_event(c))
            take(event);
        return result;
    }
};

TEST_F(X11CompositorWatch, ReportsEveryChangeOfTheCompositorSelectionOwner)
{
    platform::CompositorWatch watch(c, handle());
    ASSERT_TRUE(watch.IsWatching());
    EXPECT_FALSE(watch.CompositorRuns());
    const xcb_atom_t cm = atom("_NET_WM_CM_S0");

    auto compositor = std::make_unique<OtherClient>(XServer::sDisplay);
    ASSERT_TRUE(compositor->connected());
    compositor->own(cm, compositor->newWindow());
    EXPECT_EQ(reports(watch, 1), std::vector<bool>{true}) << "a compositor that starts";

    // A watch begun while a compositor runs knows it; its own events, which
    // arrive on the same connection, are not taken for the first watch's.
    platform::CompositorWatch late(c, handle());
    EXPECT_TRUE(late.CompositorRuns());

    OtherClient replacement(XServer::sDisplay);
    const struct
    {
        const char *What;
        std::function<void()> Act;
        std::vector<bool> Reported;
    } steps[] = {
        {"other selections change hands",
         [&] {
             const xcb_window_t w = compositor->newWindow();
             compositor->own(atom("PRIMARY"), w);
             compositor->own(atom("_NET_WM_CM_S1"), w);
         },
         {}},
        {"another compositor replaces the first", [&] { replacement.own(cm, replacement.newWindow()); }, {true}},
        {"the compositor lets go", [&] { replacement.own(cm, XCB_NONE); }, {false}},
        {"a compositor whose window is destroyed",
         [&] {
             const xcb_window_t w = compositor->newWindow();
             compositor->own(cm, w);
             compositor->destroy(w);
         },
         {true, false}},
        {"a compositor that is killed",
         [&] {
             compositor->own(cm, compositor->newWindow());
             compositor.reset();
         },
         {true, false}},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.What);
        step.Act();
        EXPECT_EQ(reports(watch, step.Reported.size()), step.Reported);
    }
}

TEST_F(X11CompositorWatch, NothingToWatchForAWindowThatHasGone)
{
    const xcb_window_t gone = xcb_generate_id(c);
    xcb_create_window(c, 0, gone, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0,
                      nullptr);
    xcb_destroy_window(c, gone);
    platform::CompositorWatch watch(c, gone);
    EXPECT_FALSE(watch.IsWatching());
}

[[maybe_unused]] ::testing::Environment *const gXServer = ::testing::AddGlobalTestEnvironment(new XServer);

} // namespace
