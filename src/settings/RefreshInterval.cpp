// SPDX-License-Identifier: MIT
#include "settings/RefreshInterval.h"

#include <algorithm>

namespace RefreshInterval {

bool Offered(qint32 ASeconds)
{
    return std::find(Allowed.begin(), Allowed.end(), ASeconds) != Allowed.end();
}

} // namespace RefreshInterval
