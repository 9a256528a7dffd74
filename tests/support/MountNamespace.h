// SPDX-License-Identifier: MIT
#pragma once

// Tests that mount file systems do it in a mount namespace of their process's
// own, so that nothing they mount is seen by the machine or outlives them.

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <string>

namespace testsupport {

// Enters the private mount namespace once per process. Empty on success,
// otherwise why the test cannot run.
inline std::string IsolateMounts()
{
    static const std::string reason = []() -> std::string {
        if (::geteuid() != 0)
            return "needs root to mount file systems (CI runs as root)";
        if (::unshare(CLONE_NEWNS) != 0)
            return "cannot create a private mount namespace";
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return "cannot make the mount namespace private";
        return {};
    }();
    return reason;
}

} // namespace testsupport
