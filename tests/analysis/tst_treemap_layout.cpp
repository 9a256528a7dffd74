// SPDX-License-Identifier: MIT
// The squarified layout as a table: every rectangle inside the bounds, none
// overlapping another, each area the item's share of the whole, empty ones
// for sizes of 0, and rows that stay close to squares.
#include "analysis/TreemapLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

struct LayoutCase
{
    std::string name;
    std::vector<std::uint64_t> sizes;
    QRectF bounds;
};

std::vector<std::uint64_t> Random(std::size_t n, std::uint64_t seed, std::uint64_t spread)
{
    std::mt19937_64 random(seed);
    std::vector<std::uint64_t> sizes(n);
    for (auto &size : sizes)
        size = random() % spread;
    return sizes;
}

std::vector<LayoutCase> Cases()
{
    const QRectF box(10, 20, 600, 400);
    std::vector<LayoutCase> cases{
        {"one item", {42}, box},
        {"two equal", {5, 5}, box},
        {"the paper's example", {6, 6, 4, 3, 2, 2, 1}, QRectF(0, 0, 6, 4)},
        {"zeros among the sizes", {0, 7, 0, 3, 0}, box},
        {"given smallest first", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, box},
        {"one giant and dust", {1ull << 40, 1, 1, 1, 1, 1}, box},
        {"sizes near the top of 64 bits", {~0ull / 3, ~0ull / 3, ~0ull / 4}, box},
        {"a tall narrow strip", {9, 8, 7, 6, 5, 4, 3, 2, 1}, QRectF(0, 0, 12, 900)},
        {"a wide flat strip", {9, 8, 7, 6, 5, 4, 3, 2, 1}, QRectF(0, 0, 900, 12)},
        {"fractional bounds", {3, 1, 4, 1, 5, 9, 2, 6}, QRectF(0.25, 0.5, 99.5, 33.3)},
        {"2,000 random, many zeros", Random(2000, 7, 50), box},
        {"3,000 random over a wide range", Random(3000, 11, 1ull << 50), QRectF(0, 0, 1920, 1080)},
    };
    return cases;
}

class TreemapLayoutTest : public testing::TestWithParam<LayoutCase>
{};

TEST_P(TreemapLayoutTest, TilesTheBoundsInProportionWithoutOverlap)
{
    const LayoutCase &c = GetParam();
    const std::vector<QRectF> rects = SquarifiedLayout(c.sizes, c.bounds);
    ASSERT_EQ(rects.size(), c.sizes.size());
    long double total = 0;
    for (std::uint64_t size : c.sizes)
        total += size;
    const double area = c.bounds.width() * c.bounds.height();
    const double eps = 1e-6 * std::max(1.0, std::max(c.bounds.width(), c.bounds.height()));
    double covered = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const QRectF &r = rects[i];
        if (c.sizes[i] == 0) {
            EXPECT_EQ(r, QRectF()) << "item " << i << " of size 0";
            continue;
        }
        EXPECT_GE(r.left(), c.bounds.left() - eps) << i;
        EXPECT_GE(r.top(), c.bounds.top() - eps) << i;
        EXPECT_LE(r.right(), c.bounds.right() + eps) << i;
        EXPECT_LE(r.bottom(), c.bounds.bottom() + eps) << i;
        EXPECT_GE(r.width(), 0) << i;
        EXPECT_GE(r.height(), 0) << i;
        const double share = double(c.sizes[i] / total);
        EXPECT_NEAR(r.width() * r.height(), share * area, 1e-6 * area) << "item " << i;
        covered += r.width() * r.height();
    }
    EXPECT_NEAR(covered, area, 1e-6 * area);
    // No two overlap by more than rounding.
    for (std::size_t i = 0; i < rects.size(); ++i)
        for (std::size_t j = i + 1; j < rects.size(); ++j) {
            const QRectF both = rects[i].intersected(rects[j]);
            ASSERT_LE(both.width() * both.height(), 1e-6 * area) << "items " << i << " and " << j;
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, TreemapLayoutTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<LayoutCase> &info) {
                             std::string name;
                             for (char ch : info.param.name)
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST(TreemapLayout, OneItemFillsTheBounds)
{
    const QRectF box(3, 4, 50, 20);
    const std::vector<std::uint64_t> sizes{1};
    EXPECT_EQ(SquarifiedLayout(sizes, box), std::vector<QRectF>{box});
}

TEST(TreemapLayout, NothingToShowGivesEmptyRectangles)
{
    const std::vector<std::uint64_t> zeros{0, 0, 0};
    for (const QRectF &r : SquarifiedLayout(zeros, QRectF(0, 0, 100, 100)))
        EXPECT_EQ(r, QRectF());
    const std::vector<std::uint64_t> some{5, 6};
    for (const QRectF &r : SquarifiedLayout(some, QRectF(0, 0, 0, 100)))
        EXPECT_EQ(r, QRectF());
    EXPECT_TRUE(SquarifiedLayout({}, QRectF(0, 0, 10, 10)).empty());
}

double WorstRatio(const std::vector<QRectF> &rects)
{
    double worst = 1;
    for (const QRectF &r : rects)
        if (!r.isEmpty())
            worst = std::max(worst, std::max(r.width() / r.height(), r.height() / r.width()));
    return worst;
}

// The point of squarifying: equal items in a square come out as squares or
// nearly, and the paper's example stays within its published ratios.
TEST(TreemapLayout, RowsStayCloseToSquares)
{
    EXPECT_LE(WorstRatio(SquarifiedLayout(std::vector<std::uint64_t>(16, 1), QRectF(0, 0, 400, 400))), 1.5);
    EXPECT_LE(WorstRatio(SquarifiedLayout(std::vector<std::uint64_t>{6, 6, 4, 3, 2, 2, 1}, QRectF(0, 0, 6, 4))),
              3.0);
    // A slice-and-dice layout of the same 100 equal items in a square would
    // give strips of 100:1.
    EXPECT_LE(WorstRatio(SquarifiedLayout(std::vector<std::uint64_t>(100, 3), QRectF(0, 0, 500, 500))), 2.5);
}

// A folder of a hundred thousand files is laid out in one sort and one pass:
// the test only needs to finish, and every item gets its place.
TEST(TreemapLayout, AHundredThousandItemsAllPlaced)
{
    const std::vector<std::uint64_t> sizes = Random(100000, 3, 1ull << 30);
    const QRectF box(0, 0, 1000, 800);
    const std::vector<QRectF> rects = SquarifiedLayout(sizes, box);
    ASSERT_EQ(rects.size(), sizes.size());
    double covered = 0;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (sizes[i] == 0)
            continue;
        ASSERT_TRUE(box.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(rects[i])) << i;
        covered += rects[i].width() * rects[i].height();
    }
    EXPECT_NEAR(covered, box.width() * box.height(), 1e-3);
}

} // namespace
