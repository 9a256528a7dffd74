// SPDX-License-Identifier: MIT
// Windows ends a session with window messages (WM_QUERYENDSESSION,
// WM_ENDSESSION), which Qt turns into its session manager's requests, and a
// console's Ctrl+C does not reach a windowed program: there is no signal to
// catch, so this object stays inactive.
#include "platform/StopSignals.h"

namespace platform {

StopSignals::StopSignals() = default;
StopSignals::~StopSignals() = default;

int StopSignals::TakeSignal()
{
    return 0;
}

} // namespace platform
