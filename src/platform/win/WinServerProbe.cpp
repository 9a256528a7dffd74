// SPDX-License-Identifier: MIT
#include "platform/ServerProbe.h"

namespace platform {

// The Windows program asks no Prometheus server (its drive query is WMI's).
bool CanAskDriveServers()
{
    return false;
}

ServerProbeResult ProbeDriveServer(const std::string &, const std::string &, const std::string &,
                                   std::chrono::milliseconds)
{
    ServerProbeResult result;
    result.outcome = ServerProbeOutcome::Unavailable;
    result.detail = "This build of the program asks no Prometheus server";
    return result;
}

} // namespace platform
