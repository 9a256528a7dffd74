// SPDX-License-Identifier: MIT
#include "analysis/TreemapLayout.h"

#include <algorithm>

namespace {

// The worst aspect ratio of a row of areas (total sum, smallest lo, biggest
// hi) laid along a side of the given length.
double Worst(double sum, double lo, double hi, double side)
{
    const double s2 = sum * sum, w2 = side * side;
    return std::max(w2 * hi / s2, s2 / (w2 * lo));
}

} // namespace

std::vector<QRectF> SquarifiedLayout(std::span<const std::uint64_t> sizes, const QRectF &bounds)
{
    std::vector<QRectF> rects(sizes.size());
    if (bounds.isEmpty())
        return rects;
    std::vector<std::size_t> order;
    order.reserve(sizes.size());
    double total = 0;
    for (std::size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i] > 0) {
            order.push_back(i);
            total += double(sizes[i]);
        }
    if (order.empty())
        return rects;
    // Biggest first: then a row's biggest area is its first and its smallest
    // its last, and the worst ratio of a row grows by one comparison.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });
    const double scale = bounds.width() * bounds.height() / total;

    double x = bounds.left(), y = bounds.top(), w = bounds.width(), h = bounds.height();
    std::size_t i = 0;
    while (i < order.size()) {
        const bool columns = w >= h; // the row runs along the shorter side
        const double side = columns ? h : w;
        const double first = double(sizes[order[i]]) * scale;
        double sum = first;
        std::size_t end = i + 1;
        double worst = Worst(sum, first, first, side);
        while (end < order.size()) {
            const double next = double(sizes[order[end]]) * scale;
            const double candidate = Worst(sum + next, next, first, side);
            if (candidate > worst)
                break;
            worst = candidate;
            sum += next;
            ++end;
        }
        const bool last = end == order.size();
        // The row's thickness; the last row takes what is left, so that
        // rounding never leaves a sliver or spills over.
        const double thick = last ? (columns ? w : h) : std::min(sum / side, columns ? w : h);
        double along = columns ? y : x;
        const double alongEnd = columns ? y + h : x + w;
        for (std::size_t k = i; k < end; ++k) {
            const double area = double(sizes[order[k]]) * scale;
            double length = sum > 0 ? side * area / sum : 0;
            if (k + 1 == end)
                length = alongEnd - along;
            rects[order[k]] = columns ? QRectF(x, along, thick, length) : QRectF(along, y, length, thick);
            along += length;
        }
        if (columns) {
            x += thick;
            w -= thick;
        } else {
            y += thick;
            h -= thick;
        }
        i = end;
    }
    return rects;
}
