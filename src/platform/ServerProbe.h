// SPDX-License-Identifier: MIT
#pragma once

// One trial query of a server of drives (a Prometheus server), for a user
// who has just typed its address: what happened, in a few kinds a person
// can act on. It waits up to its deadline: call it on a worker thread.

#include <chrono>
#include <cstddef>
#include <string>

namespace platform {

enum class ServerProbeOutcome {
    Reached,       // it answered: drives and machines say how many
    Refused,       // nothing listens there, or the name is not known
    WrongPassword, // HTTP 401 or 403
    NotPrometheus, // an answer, but no Prometheus query API behind it
    TimedOut,      // no whole answer within the deadline
    BadAddress,    // not an http:// or https:// address with a host
    Unavailable    // this system cannot ask such servers (detail says why)
};

struct ServerProbeResult
{
    ServerProbeOutcome outcome = ServerProbeOutcome::Unavailable;
    std::size_t drives = 0;
    std::size_t machines = 0;
    // The server's or the system's own words, made visible (no control
    // characters, no password).
    std::string detail;
};

// Whether this build can ask servers of drives at all (the Windows program's
// drive query is WMI's alone).
bool CanAskDriveServers();

// The password may be empty (then ~/.netrc, as for the drive query).
ServerProbeResult ProbeDriveServer(const std::string &url, const std::string &user, const std::string &password,
                                   std::chrono::milliseconds deadline);

} // namespace platform
