// SPDX-License-Identifier: MIT
// The appearance helpers on Qt's offscreen platform: what they do to the
// widget, and that the X11-only parts stay out of the way without X11.
#include "shell/FormUtils.h"
#include "shell/Opacidad.h"
#include "shell/rounded_corners.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <climits>
#include <memory>

namespace {

class AppearanceTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!qApp) {
            static int argc = 1;
            static char name[] = "tst_appearance";
            static char *argv[] = {name, nullptr};
            new QApplication(argc, argv);
        }
    }

    // The alpha (255 = opaque) that the widget holds for its window.
    static int widgetAlpha(const QWidget &w) { return qRound(w.windowOpacity() * 255); }
};

struct LevelCase
{
    int nivel;
    int kept; // the level the window holds afterwards
    int alpha;
};

class OpacyLevels : public AppearanceTest, public ::testing::WithParamInterface<LevelCase>
{};

TEST_P(OpacyLevels, AlphaIs255MinusLevelAndOutOfRangeIsTheDefault)
{
    const LevelCase c = GetParam();
    QWidget window;
    TOpacyClass opacy(&window);
    opacy.SetNivel(c.nivel);

    EXPECT_EQ(opacy.Nivel(), c.kept);
    EXPECT_EQ(TOpacyClass::AlphaForNivel(c.nivel), c.alpha);
    EXPECT_EQ(widgetAlpha(window), c.alpha);

    // The level written before the native window exists reaches it.
    window.winId();
    ASSERT_NE(window.windowHandle(), nullptr);
    EXPECT_DOUBLE_EQ(window.windowHandle()->opacity(), c.alpha / 255.0);
}

INSTANTIATE_TEST_SUITE_P(MenuLevelsAndOutOfRange, OpacyLevels,
                         ::testing::Values(LevelCase{0, 0, 255}, LevelCase{51, 51, 204}, LevelCase{102, 102, 153},
                                           LevelCase{153, 153, 102}, LevelCase{204, 204, 51},
                                           LevelCase{255, 255, 0}, LevelCase{100, 100, 155},
                                           LevelCase{256, 153, 102}, LevelCase{300, 153, 102},
                                           LevelCase{-1, 153, 102}, LevelCase{-100, 153, 102},
                                           LevelCase{INT_MIN, 153, 102}, LevelCase{INT_MAX, 153, 102}));

TEST_F(AppearanceTest, OpacyStartsAtZeroAndLeavesTheWindowAlone)
{
    QWidget window;
    TOpacyClass opacy(&window);
    EXPECT_EQ(opacy.Nivel(), 0);
    EXPECT_EQ(widgetAlpha(window), 255);
    EXPECT_FALSE(window.testAttribute(Qt::WA_WState_WindowOpacitySet));
}

TEST_F(AppearanceTest, DefaultValueSets153WithoutApplyingIt)
{
    QWidget window;
    TOpacyClass opacy(&window);
    opacy.SetNivel(51);
    ASSERT_EQ(widgetAlpha(window), 204);

    EXPECT_EQ(opacy.DefaultValue(), 153);
    EXPECT_EQ(opacy.Nivel(), 153);
    EXPECT_EQ(widgetAlpha(window), 204) << "DefaultValue must not touch the window";

    opacy.SetNivel(opacy.Nivel());
    EXPECT_EQ(widgetAlpha(window), 102);
}

TEST_F(AppearanceTest, FullyTransparentWindowStaysShown)
{
    QWidget window;
    window.show();
    TOpacyClass opacy(&window);
    opacy.SetNivel(255);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(widgetAlpha(window), 0);
    opacy.SetNivel(0);
    EXPECT_EQ(widgetAlpha(window), 255);
}

TEST_F(AppearanceTest, OpacyOutlivingItsWindowOnlyKeepsTheLevel)
{
    auto window = std::make_unique<QWidget>();
    TOpacyClass opacy(window.get());
    window.reset();
    opacy.SetNivel(102);
    EXPECT_EQ(opacy.Nivel(), 102);
}

TEST_F(AppearanceTest, SendToBottomShowsTheWindowAndEndsStayingOnTop)
{
    const Qt::WindowFlags starts[] = {
        Qt::Tool | Qt::FramelessWindowHint,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint,
        Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint,
    };
    for (const Qt::WindowFlags start : starts) {
        SCOPED_TRACE(start.toInt());
        QWidget window(nullptr, start);
        window.move(40, 30);
        FormUtils::SendToBottom(&window);

        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(window.windowFlags() | Qt::WindowStaysOnTopHint, start | Qt::WindowStaysOnTopHint)
            << "other flags stay";
        EXPECT_EQ(window.pos(), QPoint(40, 30));

        // Again, on the shown window: the native window stays the same.
        const QWindow *handle = window.windowHandle();
        FormUtils::SendToBottom(&window);
        EXPECT_EQ(window.windowHandle(), handle);
        EXPECT_TRUE(window.isVisible());
    }
}

TEST_F(AppearanceTest, WindowRoutinesIgnoreNullAndNonX11Platforms)
{
    FormUtils::SendToBottom(nullptr);
    FormUtils::HideFromTaskbar(nullptr);
    EXPECT_EQ(rounded_corners::SetWindowCorners(nullptr, rounded_corners::cpRound),
              rounded_corners::CornersInvalidWindow);

    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.resize(120, 80);
    window.show();
    FormUtils::HideFromTaskbar(&window);
    EXPECT_TRUE(window.children().isEmpty()) << "nothing to keep up without X11";
    EXPECT_TRUE(window.isVisible());
}

TEST_F(AppearanceTest, CornersWithoutX11AreNotSupportedAndStaySquare)
{
    using namespace rounded_corners;
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.resize(120, 80);
    window.show();
    for (TCornerPreference p : {cpDefault, cpDoNotRound, cpRound, cpRoundSmall}) {
        EXPECT_EQ(SetWindowCorners(&window, p), CornersNotSupported) << p;
        EXPECT_TRUE(window.mask().isEmpty()) << p;
    }
}

TEST(CornerPreference, ValuesPassedToTheWindowManager)
{
    using namespace rounded_corners;
    EXPECT_EQ(CornerPreferenceValue(cpDefault), 0u);
    EXPECT_EQ(CornerPreferenceValue(cpDoNotRound), 1u);
    EXPECT_EQ(CornerPreferenceValue(cpRound), 2u);
    EXPECT_EQ(CornerPreferenceValue(cpRoundSmall), 3u);
    EXPECT_EQ(CornerPreferenceValue(static_cast<TCornerPreference>(7)), 0u);
    EXPECT_EQ(CornerPreferenceValue(static_cast<TCornerPreference>(-1)), 0u);

    EXPECT_EQ(CornerRadius(cpDefault), 0);
    EXPECT_EQ(CornerRadius(cpDoNotRound), 0);
    EXPECT_GT(CornerRadius(cpRound), CornerRadius(cpRoundSmall));
    EXPECT_GT(CornerRadius(cpRoundSmall), 0);
}

} // namespace
