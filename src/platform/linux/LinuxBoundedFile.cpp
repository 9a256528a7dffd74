// SPDX-License-Identifier: MIT
#include "platform/BoundedFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

BoundedRead ReadBoundedFile(const std::string &Path, std::size_t Cap)
{
    // O_NONBLOCK: opening a FIFO without a writer returns at once; the type
    // is then checked on what was opened, not on a name that may change.
    const int fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return BoundedRead::Refused(BoundedRead::Status::Missing, "it does not exist");
        if (error == ENXIO || error == ENODEV)
            return BoundedRead::Refused(BoundedRead::Status::NotRegular, "it is not a regular file");
        return BoundedRead::Refused(BoundedRead::Status::Failed, std::strerror(error));
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat st
    {};
    if (::fstat(fd, &st) != 0)
        return BoundedRead::Refused(BoundedRead::Status::Failed, std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return BoundedRead::Refused(BoundedRead::Status::NotRegular, "it is not a regular file");

    // The buffer grows with what was read, never to the reported size.
    BoundedRead read;
    std::size_t step = 4096;
    for (;;) {
        const std::size_t room = Cap + 1 - read.Bytes.size();
        const std::size_t want = step < room ? step : room;
        const std::size_t old = read.Bytes.size();
        read.Bytes.resize(old + want);
        const ssize_t n = ::read(fd, read.Bytes.data() + old, want);
        if (n < 0) {
            const int error = errno;
            read.Bytes.resize(old);
            if (error == EINTR)
                continue;
            return BoundedRead::Refused(BoundedRead::Status::Failed, std::strerror(error));
        }
        read.Bytes.resize(old + static_cast<std::size_t>(n));
        if (n == 0)
            break;
        if (read.Bytes.size() > Cap)
            return BoundedRead::TooLarge(Cap);
        if (step < 1024 * 1024)
            step *= 2;
    }
    read.Result = BoundedRead::Status::Ok;
    return read;
}

bool IsOwnStaleRegularFile(const std::string &Path, long long MinAgeSeconds)
{
    struct stat st
    {};
    if (::lstat(Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return static_cast<long long>(std::time(nullptr)) - static_cast<long long>(st.st_mtime) >= MinAgeSeconds;
}

} // namespace platform
