// SPDX-License-Identifier: MIT
// Where the window goes on the screens there are: a place on a screen is kept
// to the pixel; any other ends up wholly on the nearest screen.
#include "shell/ScreenPlacement.h"

#include <gtest/gtest.h>

namespace {

TEST(ScreenPlacement, KeepsPlacesOnAScreenAndBringsTheRestFullyOntoTheNearest)
{
    // The widget's panel column (339 wide) on a 1280 x 800 screen whose top
    // 28 pixels are a panel bar, and a second screen of 1920 x 1080 to its
    // left, its top a little higher.
    const QRect laptop(0, 28, 1280, 772);
    const QRect left(-1920, -100, 1920, 1080);
    struct Case
    {
        const char *what;
        QRect window;
        QList<QRect> screens;
        QPoint expected;
    };
    const Case cases[] = {
        {"on the screen, kept", {40, 40, 339, 300}, {laptop}, {40, 40}},
        {"on the screen's last pixel, kept", {941, 500, 339, 300}, {laptop}, {941, 500}},
        {"half off the right edge, kept", {1280 - 170, 100, 339, 300}, {laptop}, {1110, 100}},
        {"mostly off the right edge", {1200, 100, 339, 300}, {laptop}, {941, 100}},
        {"mostly off the bottom and the right", {1100, 700, 339, 300}, {laptop}, {941, 500}},
        {"mostly under the panel bar at the top", {40, -250, 339, 300}, {laptop}, {40, 28}},
        {"far off every screen", {5000, 5000, 339, 300}, {laptop}, {941, 500}},
        {"far off to the left, one screen", {-2000, 300, 339, 300}, {laptop}, {0, 300}},
        {"negative place on the left screen, kept", {-2000 + 200, 300, 339, 300}, {laptop, left}, {-1800, 300}},
        {"far off to the left, the left screen is nearer", {-2500, 300, 339, 300}, {laptop, left}, {-1920, 300}},
        {"across both screens, mostly on the left one, kept", {-200, 300, 339, 300}, {laptop, left}, {-200, 300}},
        {"above the left screen's top", {-1000, -600, 339, 300}, {laptop, left}, {-1000, -100}},
        {"the screen it stood on is gone", {2000, 200, 339, 300}, {laptop}, {941, 200}},
        {"taller than the screen, too low", {40, 400, 339, 2000}, {laptop}, {40, 28}},
        {"taller than the screen, at its top, kept", {40, 28, 339, 2000}, {laptop}, {40, 28}},
        {"wider and taller than a small screen", {300, 300, 339, 300}, {{0, 0, 200, 150}}, {0, 0}},
        {"no screens, kept", {5000, 5000, 339, 300}, {}, {5000, 5000}},
        {"empty screen areas are no screens", {5000, 5000, 339, 300}, {QRect(), laptop}, {941, 500}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QPoint place = ScreenPlacement::Place(c.window, c.screens);
        EXPECT_EQ(place.x(), c.expected.x());
        EXPECT_EQ(place.y(), c.expected.y());
    }
}

} // namespace

namespace {

using ScreenPlacement::TScreenScale;

// Places between logical and device pixels: a 1280 x 800 screen shown at a
// factor of 2 (640 x 400 logical) with a second one of 1920 x 1080 at 1.5 to
// its right, starting at device pixel 1280.
TEST(ScreenPlacement, PlacesTravelInDevicePixels)
{
    const QList<TScreenScale> one{{QRect(0, 0, 1280, 800), 1}};
    const QList<TScreenScale> doubled{{QRect(0, 0, 640, 400), 2}};
    const QList<TScreenScale> two{{QRect(0, 0, 640, 400), 2}, {QRect(1280, 0, 1280, 720), 1.5}};
    struct Case
    {
        const char *what;
        QList<TScreenScale> screens;
        QPoint logical;
        QPoint device;
    };
    const Case cases[] = {
        {"factor 1: the same", one, {300, 276}, {300, 276}},
        {"factor 2", doubled, {150, 138}, {300, 276}},
        {"factor 2, the origin", doubled, {0, 0}, {0, 0}},
        {"factor 2, bottom right", doubled, {639, 399}, {1278, 798}},
        {"factor 2, above and left of the screen", doubled, {-10, -20}, {-20, -40}},
        {"second screen at 1.5", two, {1280 + 200, 100}, {1280 + 300, 150}},
        {"second screen, its origin", two, {1280, 0}, {1280, 0}},
        {"beyond the second screen: the nearest", two, {1280 + 1400, 10}, {1280 + 2100, 15}},
        {"no screens: the same", {}, {123, 456}, {123, 456}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ScreenPlacement::ToDevice(c.logical, c.screens), c.device);
        EXPECT_EQ(ScreenPlacement::FromDevice(c.device, c.screens), c.logical);
    }
}

// A place saved at one factor comes back at another to the same device
// pixel, and a place read and not moved is written back as read, even where
// the factor cannot put the window on that pixel.
TEST(ScreenPlacement, SavedPlaceSurvivesAnyScaleFactor)
{
    const QList<TScreenScale> one{{QRect(0, 0, 1280, 800), 1}};
    const QList<TScreenScale> doubled{{QRect(0, 0, 640, 400), 2}};

    TSavedPlace scaled;
    const QPoint logical = scaled.Restore({1001, 277}, doubled);
    EXPECT_EQ(logical, QPoint(501, 139)) << "half pixels round";
    EXPECT_EQ(scaled.ToSave(logical, doubled), QPoint(1001, 277)) << "not moved: saved as read";
    EXPECT_EQ(scaled.ToSave(QPoint(500, 100), doubled), QPoint(1000, 200)) << "moved: its device place";

    TSavedPlace normal;
    EXPECT_EQ(normal.Restore({1000, 200}, one), QPoint(1000, 200));
    EXPECT_EQ(normal.ToSave(QPoint(1000, 200), one), QPoint(1000, 200));
    TSavedPlace fresh;
    EXPECT_EQ(fresh.ToSave(QPoint(70, 30), doubled), QPoint(140, 60)) << "nothing read: converted";
}

} // namespace
