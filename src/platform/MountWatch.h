// SPDX-License-Identifier: MIT
#pragma once

// The notice that the set of mounted drives changed. Linux: the kernel marks
// /proc/self/mountinfo with POLLPRI (and POLLERR) after every mount, unmount
// or remount, until the file is read again; the caller waits for that urgent
// condition on Handle() (QSocketNotifier::Exception) and calls Acknowledge().
// Windows: no notice (Handle() is -1); the widget relies on its refresh timer.

#include <string>

namespace platform {

class MountTableWatch
{
public:
    // path: the table to watch; empty for the system's own.
    explicit MountTableWatch(const std::string &path = std::string());
    ~MountTableWatch();
    MountTableWatch(const MountTableWatch &) = delete;
    MountTableWatch &operator=(const MountTableWatch &) = delete;

    // The descriptor to wait on; -1 when nothing is watched.
    int Handle() const { return m_handle; }
    const std::string &Path() const { return m_path; }
    // Why nothing is watched; empty while watching.
    const std::string &Error() const { return m_error; }

    // Reads the table to its end, which clears the mark.
    void Acknowledge();

private:
    int m_handle = -1;
    std::string m_path;
    std::string m_error;
};

} // namespace platform
