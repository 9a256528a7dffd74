// SPDX-License-Identifier: MIT
// A Qt without D-Bus (the MinGW build) has no session bus to guard on.
#include "desktop/InstanceBus.h"

namespace InstanceBus {

TBusCheck AcquireBusName(std::function<void()>, std::unique_ptr<QObject> &)
{
    return TBusCheck::NoBus;
}

bool ActivateOverBus()
{
    return false;
}

} // namespace InstanceBus
