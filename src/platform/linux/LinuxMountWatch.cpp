// SPDX-License-Identifier: MIT
// The mount table's change mark (POLLPRI on /proc/self/mountinfo).
#include "platform/MountWatch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

MountTableWatch::MountTableWatch(const std::string &path)
    : m_path(path.empty() ? std::string("/proc/self/mountinfo") : path)
{
    m_handle = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_handle < 0) {
        m_error = std::strerror(errno);
        return;
    }
    Acknowledge();
}

MountTableWatch::~MountTableWatch()
{
    if (m_handle >= 0)
        ::close(m_handle);
}

void MountTableWatch::Acknowledge()
{
    if (m_handle < 0)
        return;
    // Reading the table to its end acknowledges the change.
    char buffer[8192];
    if (::lseek(m_handle, 0, SEEK_SET) < 0)
        return;
    while (::read(m_handle, buffer, sizeof buffer) > 0) {}
}

} // namespace platform
