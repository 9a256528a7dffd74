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
    return ReadUpToCap(Cap, [fd](char *buffer, std::size_t size, std::size_t &got, std::string &error) {
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size);
            if (n >= 0) {
                got = static_cast<std::size_t>(n);
                return true;
            }
            if (errno != EINTR) {
                error = std::strerror(errno);
                return false;
            }
        }
    });
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
