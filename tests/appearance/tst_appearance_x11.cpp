// SPDX-License-Identifier: MIT
// The appearance helpers against a real X server and window manager: the
// suite starts its own Xvfb and openbox, runs Qt on its xcb platform there
// and reads the results back the way a panel or pager would (xprop).
#include "shell/FormUtils.h"
#include "shell/Opacidad.h"
#include "shell/rounded_corners.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <xcb/xcb.h>

#include <csignal>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

// Xvfb, openbox and the QApplication on them, started once for the whole
// program (every fixture shares them) and stopped at its end.
class X11Session : public ::testing::Environment
{
public:
    void SetUp() override
    {
        for (const char *tool : {"Xvfb", "openbox", "xprop"}) {
            if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
                sSkipReason =
                    QStringLiteral("needs %1 (a real X server with a window manager)").arg(QLatin1String(tool));
                return;
            }
        }
        if (!startServer()) {
            sSkipReason = QStringLiteral("could not start Xvfb on any of :90 to :99");
            return;
        }
        if (!startWindowManager()) {
            sSkipReason = QStringLiteral("openbox did not come up on %1").arg(sDisplay);
            return;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", sDisplay.toLocal8Bit());
        static int argc = 1;
        static char name[] = "tst_appearance_x11";
        static char *argv[] = {name, nullptr};
        sApp = std::make_unique<QApplication>(argc, argv);
        // What the program entry does on X11: the routines talk through Qt's
        // own connection.
        auto *x11 = sApp->nativeInterface<QNativeInterface::QX11Application>();
        FormUtils::UseNativeDisplay(x11 ? x11->connection() : nullptr);
    }

    void TearDown() override
    {
        FormUtils::UseNativeDisplay(nullptr);
        sApp.reset();
        for (auto *p : {&sWindowManager, &sServer}) {
            if (*p) {
                (*p)->terminate();
                if (!(*p)->waitForFinished(3000))
                    (*p)->kill();
                (*p)->waitForFinished(1000);
                p->reset();
            }
        }
    }

    static bool startServer()
    {
        for (int n = 90; n <= 99; ++n) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))
                || QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            auto server = std::make_unique<QProcess>();
            dieWithTheTest(*server);
            server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            server->setStandardOutputFile(QProcess::nullDevice());
            server->start(QStringLiteral("Xvfb"),
                          {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"), QStringLiteral("0"),
                           QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                           // Without it the server resets whenever its last
                           // client leaves (the xprop probes), dropping a
                           // window manager that connects at that moment.
                           QStringLiteral("-noreset")});
            if (!server->waitForStarted(5000))
                continue;
            // Xvfb takes a display by creating its lock file exclusively and
            // writing its pid there: a display is ours once the lock names
            // our server and the server answers. Tests run in parallel race
            // for the same numbers.
            const QString display = QStringLiteral(":%1").arg(n);
            const auto ours = [&] {
                QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(n));
                return lock.open(QIODevice::ReadOnly)
                    && lock.readAll().trimmed().toLongLong() == server->processId();
            };
            const QDeadlineTimer deadline(10000);
            while (!deadline.hasExpired() && server->state() == QProcess::Running
                   && !(ours() && serverAnswers(display)))
                server->waitForFinished(50);
            if (server->state() == QProcess::Running && ours()) {
                sDisplay = display;
                sServer = std::move(server);
                return true;
            }
            // Another program took this display at the same time: try the next.
            server->kill();
            server->waitForFinished(1000);
        }
        return false;
    }

    // A test killed half-way (a timeout) must not leave its X server behind.
    static void dieWithTheTest(QProcess &process)
    {
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    }

    static bool serverAnswers(const QString &display)
    {
        QProcess p;
        p.start(QStringLiteral("xprop"),
                {QStringLiteral("-display"), display, QStringLiteral("-root"),
                 QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
        return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    static bool startWindowManager()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), sDisplay);
        for (int attempt = 0; attempt < 3; ++attempt) {
            sWindowManager = std::make_unique<QProcess>();
            dieWithTheTest(*sWindowManager);
            sWindowManager->setProcessEnvironment(env);
            sWindowManager->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            sWindowManager->setStandardOutputFile(QProcess::nullDevice());
            sWindowManager->start(QStringLiteral("openbox"), {});
            if (!sWindowManager->waitForStarted(5000))
                continue;
            const QDeadlineTimer deadline(15000);
            // waitForFinished also keeps the process state current.
            while (!deadline.hasExpired() && !sWindowManager->waitForFinished(100)) {
                if (xprop({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")})
                        .contains(QLatin1String("window id")))
                    return true;
            }
            sWindowManager->kill();
            sWindowManager->waitForFinished(1000);
        }
        return false;
    }

    static QString xprop(const QStringList &args)
    {
        QProcess p;
        p.start(QStringLiteral("xprop"), QStringList{QStringLiteral("-display"), sDisplay} + args);
        p.waitForFinished(5000);
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

    static inline std::unique_ptr<QProcess> sServer;
    static inline std::unique_ptr<QProcess> sWindowManager;
    static inline std::unique_ptr<QApplication> sApp;
    static inline QString sDisplay;
    static inline QString sSkipReason;
};

[[maybe_unused]] ::testing::Environment *const kSession = ::testing::AddGlobalTestEnvironment(new X11Session);

class X11Display : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!X11Session::sApp)
            GTEST_SKIP() << "SKIPPED LOUDLY: " << qPrintable(X11Session::sSkipReason);
    }

    static QString xprop(const QStringList &args) { return X11Session::xprop(args); }

    static QString windowProperty(const QWidget &w, const char *property)
    {
        return xprop({QStringLiteral("-id"), QString::number(xid(w)), QLatin1String(property)});
    }

    // Lets the window manager and Qt answer until condition holds (or 10 s).
    static bool waitFor(const std::function<bool()> &condition)
    {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (condition())
                return true;
            QThread::msleep(20);
        }
        return condition();
    }

    static bool hasStates(const QWidget &w, const QStringList &states)
    {
        const QString value = windowProperty(w, "_NET_WM_STATE");
        for (const QString &s : states) {
            if (!value.contains(s))
                return false;
        }
        return true;
    }

    // The X window of a widget window. Not QWidget::winId(): Qt's xcb platform
    // replaces the X window behind it when the stays-on-top hint changes.
    static WId xid(const QWidget &w) { return w.windowHandle() ? w.windowHandle()->winId() : 0; }

    // The windows of a window-list property of the root window, in order.
    static QList<WId> rootWindowList(const char *property)
    {
        const QString value = xprop({QStringLiteral("-root"), QLatin1String(property)});
        QList<WId> ids;
        const qsizetype hash = value.indexOf(QLatin1Char('#'));
        if (hash < 0)
            return ids;
        for (const QString &item : value.mid(hash + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
            ids.append(item.trimmed().toULongLong(nullptr, 16));
        return ids;
    }

    static bool isManaged(const QWidget &w) { return rootWindowList("_NET_CLIENT_LIST").contains(xid(w)); }
};

const QStringList kWidgetStates = {QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR"),
                                   QStringLiteral("_NET_WM_STATE_SKIP_PAGER"),
                                   QStringLiteral("_NET_WM_STATE_BELOW")};

struct TaskbarCase
{
    const char *name;
    bool beforeShow;       // asked for before the first show (the property path)
    Qt::WindowFlags extra; // a stays-on-top window gets a new X window from Qt
};

class TaskbarStates : public X11Display, public ::testing::WithParamInterface<TaskbarCase>
{};

TEST_P(TaskbarStates, SetByTheWindowManagerAndKeptOverHideAndShow)
{
    const TaskbarCase c = GetParam();
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint | c.extra);
    w.setGeometry(100, 100, 220, 140);
    if (c.beforeShow) {
        FormUtils::HideFromTaskbar(&w);
        FormUtils::SendToBottom(&w); // shows it
    } else {
        w.show();
        ASSERT_TRUE(waitFor([&] { return isManaged(w); }));
        FormUtils::HideFromTaskbar(&w);
        FormUtils::SendToBottom(&w);
    }
    ASSERT_TRUE(waitFor([&] { return isManaged(w) && hasStates(w, kWidgetStates); }))
        << qPrintable(windowProperty(w, "_NET_WM_STATE"));
    EXPECT_FALSE(windowProperty(w, "_NET_WM_STATE").contains(QLatin1String("_NET_WM_STATE_ABOVE")));

    for (int round = 0; round < 2; ++round) {
        w.hide();
        ASSERT_TRUE(waitFor([&] { return !isManaged(w); })) << "round " << round;
        w.show();
        ASSERT_TRUE(waitFor([&] { return isManaged(w) && hasStates(w, kWidgetStates); }))
            << "round " << round << ": " << qPrintable(windowProperty(w, "_NET_WM_STATE"));
    }
}

INSTANTIATE_TEST_SUITE_P(Ways, TaskbarStates,
                         ::testing::Values(TaskbarCase{"BeforeShow", true, {}},
                                           TaskbarCase{"AfterShow", false, {}},
                                           TaskbarCase{"BeforeShowOnTop", true, Qt::WindowStaysOnTopHint},
                                           TaskbarCase{"AfterShowOnTop", false, Qt::WindowStaysOnTopHint}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(X11Display, TaskbarStatesSurviveANewXWindow)
{
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    w.setGeometry(100, 100, 220, 140);
    w.show();
    FormUtils::HideFromTaskbar(&w);
    const QStringList skip = {QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR"),
                              QStringLiteral("_NET_WM_STATE_SKIP_PAGER")};
    ASSERT_TRUE(waitFor([&] { return isManaged(w) && hasStates(w, skip); }));

    // Qt hides the window for new flags and replaces its X window at the show.
    const WId before = xid(w);
    w.setWindowFlag(Qt::WindowStaysOnBottomHint, true);
    w.show();
    ASSERT_TRUE(waitFor([&] { return isManaged(w); }));
    EXPECT_NE(xid(w), before) << "Qt kept the X window; this test shows nothing then";
    EXPECT_TRUE(waitFor([&] { return hasStates(w, skip); })) << qPrintable(windowProperty(w, "_NET_WM_STATE"));
}

TEST_F(X11Display, ToolWindowWithoutHelperIsNotSkipped)
{
    // Guards the test above: Qt alone does not give a tool window these states.
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    w.setGeometry(100, 100, 220, 140);
    w.show();
    ASSERT_TRUE(waitFor([&] { return isManaged(w); }));
    EXPECT_FALSE(windowProperty(w, "_NET_WM_STATE").contains(QLatin1String("SKIP_TASKBAR")));
}

TEST_F(X11Display, SendToBottomPutsTheWindowBelowOthers)
{
    QWidget other;
    other.setGeometry(50, 50, 300, 200);
    other.show();
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    w.setGeometry(100, 100, 220, 140);
    w.show();
    ASSERT_TRUE(waitFor([&] { return isManaged(w) && isManaged(other); }));

    // Bottom to top.
    const auto stackIndex = [&](const QWidget &x) {
        return rootWindowList("_NET_CLIENT_LIST_STACKING").indexOf(xid(x));
    };
    ASSERT_TRUE(waitFor([&] { return stackIndex(w) > stackIndex(other); }))
        << "a stays-on-top window starts above";

    FormUtils::SendToBottom(&w);
    EXPECT_TRUE(waitFor([&] { return stackIndex(w) >= 0 && stackIndex(w) < stackIndex(other); }))
        << qPrintable(xprop({QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")}));
    EXPECT_TRUE(waitFor([&] { return hasStates(w, {QStringLiteral("_NET_WM_STATE_BELOW")}); }));
    EXPECT_FALSE(windowProperty(w, "_NET_WM_STATE").contains(QLatin1String("_NET_WM_STATE_ABOVE")));
}

TEST_F(X11Display, OpacityReachesTheWindowProperty)
{
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    w.setGeometry(100, 100, 220, 140);
    w.show();
    ASSERT_TRUE(waitFor([&] { return isManaged(w); }))
        << std::hex << xid(w) << " " << qPrintable(X11Session::sDisplay) << " "
        << qPrintable(xprop({QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")}))
        << qPrintable(xprop({QStringLiteral("-id"), QString::number(xid(w)), QStringLiteral("WM_STATE")}));
    TOpacyClass opacy(&w);

    struct Case
    {
        int nivel;
        const char *property; // _NET_WM_WINDOW_OPACITY, 0xffffffff = opaque
    };
    for (const Case c : {Case{153, "= 1717986918"}, Case{255, "= 0"}, Case{51, "= 3435973836"}}) {
        opacy.SetNivel(c.nivel);
        EXPECT_TRUE(waitFor([&] {
            return windowProperty(w, "_NET_WM_WINDOW_OPACITY").contains(QLatin1String(c.property));
        })) << c.nivel
            << ": " << qPrintable(windowProperty(w, "_NET_WM_WINDOW_OPACITY"));
        EXPECT_TRUE(isManaged(w)) << "a transparent window stays on the desktop";
    }
    // Opaque again.
    opacy.SetNivel(0);
    EXPECT_TRUE(waitFor([&] {
        const QString value = windowProperty(w, "_NET_WM_WINDOW_OPACITY");
        return value.contains(QLatin1String("not found")) || value.contains(QLatin1String("= 4294967295"));
    })) << qPrintable(windowProperty(w, "_NET_WM_WINDOW_OPACITY"));
}

// Claims the compositing-manager selection of screen 0 on its own connection,
// as a compositor would; the claim ends with the object.
class FakeCompositor
{
public:
    explicit FakeCompositor(const QString &display)
        : FConnection(xcb_connect(display.toLocal8Bit().constData(), nullptr))
    {
        if (xcb_connection_has_error(FConnection))
            return;
        xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(FConnection)).data;
        FWindow = xcb_generate_id(FConnection);
        xcb_create_window(FConnection, XCB_COPY_FROM_PARENT, FWindow, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        const char name[] = "_NET_WM_CM_S0";
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            FConnection, xcb_intern_atom(FConnection, 0, sizeof name - 1, name), nullptr);
        if (atom) {
            xcb_set_selection_owner(FConnection, FWindow, atom->atom, XCB_CURRENT_TIME);
            std::free(atom);
        }
        std::free(xcb_get_input_focus_reply(FConnection, xcb_get_input_focus(FConnection), nullptr));
    }
    ~FakeCompositor() { xcb_disconnect(FConnection); }
    FakeCompositor(const FakeCompositor &) = delete;
    FakeCompositor &operator=(const FakeCompositor &) = delete;

private:
    xcb_connection_t *FConnection;
    xcb_window_t FWindow = 0;
};

// Pixels of the top-left 10 x 10 block that the mask cuts away.
int cutCorner(const QWidget &w)
{
    int cut = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            cut += w.mask().contains(QPoint(x, y)) ? 0 : 1;
    return cut;
}

TEST_F(X11Display, CornersRoundOnlyWithACompositor)
{
    using namespace rounded_corners;
    // Brought down from on top, as the widget is: Qt gives it a new X window.
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    w.setGeometry(100, 100, 220, 140);
    w.show();
    FormUtils::SendToBottom(&w);
    ASSERT_TRUE(waitFor([&] { return isManaged(w); }));

    EXPECT_EQ(SetWindowCorners(&w, cpRound), CornersNoCompositor);
    EXPECT_TRUE(w.mask().isEmpty());

    {
        FakeCompositor compositor(X11Session::sDisplay);
        ASSERT_EQ(SetWindowCorners(&w, cpRound), CornersApplied);
        const int roundCut = cutCorner(w);
        EXPECT_GT(roundCut, 0);
        EXPECT_TRUE(w.mask().contains(QPoint(110, 70)));
        EXPECT_TRUE(w.mask().contains(QPoint(110, 0)));
        EXPECT_TRUE(w.mask().contains(QPoint(0, 70)));

        // The mask follows the window's size.
        w.resize(300, 200);
        EXPECT_TRUE(waitFor([&] { return w.mask().boundingRect() == QRect(0, 0, 300, 200); }));
        EXPECT_FALSE(w.mask().contains(QPoint(299, 199)));
        EXPECT_TRUE(w.mask().contains(QPoint(290, 190)));

        ASSERT_EQ(SetWindowCorners(&w, cpRoundSmall), CornersApplied);
        EXPECT_GT(cutCorner(w), 0);
        EXPECT_LT(cutCorner(w), roundCut);

        ASSERT_EQ(SetWindowCorners(&w, cpDoNotRound), CornersApplied);
        EXPECT_TRUE(w.mask().isEmpty());
        w.resize(260, 180);
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.mask().isEmpty()) << "square corners stay square after a resize";
    }
    EXPECT_TRUE(waitFor([&] { return SetWindowCorners(&w, cpRound) == CornersNoCompositor; }))
        << "the compositor has gone";
}

// A compositor that starts or ends while the window runs: the corners follow
// it without being asked again, with the preference asked for last.
TEST_F(X11Display, CornersFollowACompositorThatComesAndGoes)
{
    using namespace rounded_corners;
    QWidget w(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    w.setGeometry(120, 120, 220, 140);
    w.show();
    ASSERT_TRUE(waitFor([&] { return isManaged(w); }));
    ASSERT_EQ(SetWindowCorners(&w, cpRound), CornersNoCompositor);
    ASSERT_TRUE(w.mask().isEmpty());

    auto compositor = std::make_unique<FakeCompositor>(X11Session::sDisplay);
    // An empty mask cuts nothing away, yet contains no pixel either: wait for a mask.
    const auto shaped = [&] { return !w.mask().isEmpty() && cutCorner(w) > 0; };
    EXPECT_TRUE(waitFor(shaped)) << "a compositor started later rounds the corners";
    compositor.reset();
    EXPECT_TRUE(waitFor([&] { return w.mask().isEmpty(); })) << "the mask goes with the compositor";

    ASSERT_EQ(SetWindowCorners(&w, cpRoundSmall), CornersNoCompositor);
    compositor = std::make_unique<FakeCompositor>(X11Session::sDisplay);
    EXPECT_TRUE(waitFor(shaped));
    const int smallCut = cutCorner(w);
    ASSERT_EQ(SetWindowCorners(&w, cpRound), CornersApplied);
    EXPECT_GT(cutCorner(w), smallCut) << "the last preference is the one followed";
    compositor.reset();
    EXPECT_TRUE(waitFor([&] { return w.mask().isEmpty(); })) << "a mask shaped for a compositor outlives it";
}

} // namespace
