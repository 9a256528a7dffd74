// SPDX-License-Identifier: MIT
#include "settings/RefreshInterval.h"

namespace RefreshInterval {

qint32 Nearest(qint32 ASeconds)
{
    qint32 best = Allowed.front();
    for (const qint32 allowed : Allowed)
        // 64 bits: the distance from a value near the ends of 32 bits.
        if (qAbs(qint64(ASeconds) - allowed) < qAbs(qint64(ASeconds) - best))
            best = allowed;
    return best;
}

} // namespace RefreshInterval
