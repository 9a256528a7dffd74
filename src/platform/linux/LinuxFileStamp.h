// SPDX-License-Identifier: MIT
#pragma once

// Telling whether a file or folder changed since it was last read, from one
// stat: what the drive query uses to keep /etc/fstab and the /dev/disk/by-*
// links between refreshes instead of reading them every time.

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <optional>
#include <utility>

namespace platform {

struct LinuxFileStamp
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static LinuxFileStamp Of(const struct stat &st)
    {
        return LinuxFileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    }

    bool operator==(const LinuxFileStamp &o) const
    {
        return device == o.device && inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec
            && modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec
            && changed.tv_nsec == o.changed.tv_nsec;
    }

    // The kernel takes file times from a clock that moves once per timer
    // tick, so a second change within the tick of a read keeps the stamp.
    // A stamp less than a second old (or ahead of the clock) proves nothing:
    // what was read with it is read again next time.
    bool Settled() const
    {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const auto nanoseconds = [](const timespec &t) {
            return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
        };
        const long long latest = std::max(nanoseconds(modified), nanoseconds(changed));
        return nanoseconds(now) - latest >= 1000000000LL;
    }
};

// What was read from a file or folder, kept while its stamp stays the same.
template <typename T>
class LinuxStampedValue
{
public:
    // The value kept for st, or what read() gives when st's stamp differs
    // from the one it was read under (kept under it once settled).
    template <typename Read>
    const T &Get(const struct stat &st, Read read)
    {
        const LinuxFileStamp stamp = LinuxFileStamp::Of(st);
        if (m_stamp && *m_stamp == stamp)
            return m_value;
        m_value = read();
        m_stamp = stamp.Settled() ? std::optional<LinuxFileStamp>(stamp) : std::nullopt;
        return m_value;
    }
    // Nothing kept: the next Get reads. value is what stands meanwhile.
    const T &Forget(T value = T())
    {
        m_stamp.reset();
        m_value = std::move(value);
        return m_value;
    }

private:
    std::optional<LinuxFileStamp> m_stamp; // set while m_value matches the file
    T m_value;
};

} // namespace platform
