// SPDX-License-Identifier: MIT
// Single instance on Linux: no system object guards a session, so the shell
// takes a lock file and listens on a local socket in InstanceDirectory().
#include "platform/SingleInstance.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct SystemInstanceGuard::State
{
};

SystemInstanceGuard::SystemInstanceGuard() = default;
SystemInstanceGuard::~SystemInstanceGuard() = default;

SystemInstanceGuard::Check SystemInstanceGuard::Acquire()
{
    return Check::NotProvided;
}

void SystemInstanceGuard::Release() {}

std::string InstanceDirectory()
{
    if (const char *runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
        struct stat st {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
            return runtime;
    }
    // Without a runtime directory: a private directory in /tmp. Another user
    // could have created it first, so it is used only when it is ours, not a
    // link, and closed to others.
    const std::string dir = "/tmp/velmora-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0)
        return {};
    return dir;
}

std::string InstanceWindowTitle()
{
    return {};
}

void WriteDiagnostic(const std::string &text)
{
    std::fputs(text.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace platform
