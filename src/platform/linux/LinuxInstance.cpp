// SPDX-License-Identifier: MIT
// Single instance on Linux: no system object guards a session, so the shell
// takes a lock file and listens on a local socket in InstanceDirectory().
#include "platform/SingleInstance.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct SystemInstanceGuard::State
{};

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
        struct stat st
        {};
        if (::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode))
            return runtime;
    }
    // Without a runtime directory: the user's own state folder
    // ($XDG_STATE_HOME, else ~/.local/state), which no other user can take
    // first as they could a name in /tmp. Each folder on the way is created
    // closed to others; the last one is used only when it is ours and not a
    // link.
    std::string base;
    if (const char *state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
        base = state;
    } else {
        const char *home = std::getenv("HOME");
        if (!home || *home != '/') {
            const passwd *entry = ::getpwuid(::getuid());
            home = entry ? entry->pw_dir : nullptr;
        }
        if (!home || *home != '/')
            return {};
        base = std::string(home) + "/.local/state";
    }
    for (std::size_t slash = base.find('/', 1); slash != std::string::npos; slash = base.find('/', slash + 1))
        ::mkdir(base.substr(0, slash).c_str(), 0700);
    ::mkdir(base.c_str(), 0700);
    const std::string dir = base + "/velmora";
    ::mkdir(dir.c_str(), 0700);
    struct stat st
    {};
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
