// SPDX-License-Identifier: MIT
#pragma once

// Reading a whole file that a user or another program may have put in our
// way: a link to a device, a FIFO without a writer, a file that never ends or
// grows while it is read. Only regular files (after following links) are
// read, opened without blocking, and never more than the cap, counted in the
// bytes actually read: the size the file reports is not trusted.

#include <cstddef>
#include <string>
#include <utility>

namespace platform {

struct BoundedRead
{
    enum class Status {
        Ok,         // Bytes holds the whole file
        Missing,    // no such file (or a link that leads nowhere)
        NotRegular, // a directory, device, FIFO, socket ...
        TooLarge,   // more than the cap bytes were there to read
        Failed,     // opening or reading failed otherwise
    };
    Status Result = Status::Failed;
    std::string Bytes;
    // For every result but Ok: why, in plain English, without the path
    // ("it is not a regular file", "it is larger than 1048576 bytes").
    std::string Reason;

    bool Ok() const { return Result == Status::Ok; }

    // A result without bytes, for the readers of both systems.
    static BoundedRead Refused(Status status, std::string reason)
    {
        BoundedRead read;
        read.Result = status;
        read.Reason = std::move(reason);
        return read;
    }
    static BoundedRead TooLarge(std::size_t cap)
    {
        return Refused(Status::TooLarge, "it is larger than " + std::to_string(cap) + " bytes");
    }
};

// The read both systems share, from an open file: chunks that grow from 4 KiB
// to 1 MiB until the end, refused once more than Cap bytes were read.
// ReadChunk(buffer, size, got, error) reads at most size bytes into buffer,
// sets got (0 at the end) and returns true, or sets error and returns false.
template <class ReadChunk>
BoundedRead ReadUpToCap(std::size_t Cap, ReadChunk readChunk)
{
    BoundedRead read;
    std::size_t step = 4096;
    for (;;) {
        const std::size_t room = Cap + 1 - read.Bytes.size();
        const std::size_t want = step < room ? step : room;
        const std::size_t old = read.Bytes.size();
        read.Bytes.resize(old + want);
        std::size_t got = 0;
        std::string error;
        if (!readChunk(read.Bytes.data() + old, want, got, error))
            return BoundedRead::Refused(BoundedRead::Status::Failed, std::move(error));
        read.Bytes.resize(old + got);
        if (got == 0)
            break;
        if (read.Bytes.size() > Cap)
            return BoundedRead::TooLarge(Cap);
        if (step < 1024 * 1024)
            step *= 2;
    }
    read.Result = BoundedRead::Status::Ok;
    return read;
}

// Reads the file at Path (UTF-8) whole when it holds at most Cap bytes.
BoundedRead ReadBoundedFile(const std::string &Path, std::size_t Cap);

// True when Path (UTF-8) is itself a regular file, not a link, that belongs
// to the user running the program and was last changed at least MinAgeSeconds
// ago. Windows: a regular file that is no reparse point (a profile's folders
// are its user's own).
bool IsOwnStaleRegularFile(const std::string &Path, long long MinAgeSeconds);

} // namespace platform
