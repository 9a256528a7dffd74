// SPDX-License-Identifier: MIT
// A Qt without D-Bus (the MinGW build) has no session bus to guard on.
#include "shell/ControlInstance.h"

namespace ControlInstance {

TBusCheck AcquireBusName(TInstanceGuard &, std::unique_ptr<QObject> &)
{
    return TBusCheck::NoBus;
}

bool ActivateOverBus()
{
    return false;
}

} // namespace ControlInstance
