// SPDX-License-Identifier: MIT
#pragma once

// The squarified treemap layout (Bruls, Huizing and van Wijk): sizes become
// rectangles that tile a bounding rectangle, each with an area proportional
// to its size, laid out in rows whose rectangles stay as close to squares as
// the sizes allow.

#include <QRectF>

#include <cstdint>
#include <span>
#include <vector>

// One rectangle per size, in the order of the sizes, tiling bounds without
// overlap. A size of 0 gets an empty rectangle (QRectF(), 0 x 0); so does
// every size when they add up to 0 or bounds is empty. Runs in O(n log n)
// (one sort, then one pass), whatever the sizes.
std::vector<QRectF> SquarifiedLayout(std::span<const std::uint64_t> sizes, const QRectF &bounds);
