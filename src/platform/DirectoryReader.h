// SPDX-License-Identifier: MIT
#pragma once

// Reading the folders of one file system for the drive scanner: a folder's
// entries with their sizes, without following symbolic links and without
// ever entering (or asking anything of) another file system mounted below.
//
// A scan opens a DirectoryVolume on its root; each worker thread then takes a
// DirectoryCursor of its own, which keeps a few folders open so that a folder
// is opened relative to its parent (no path length limit, no repeated path
// walks). Folders are named by the chain of names from the root, each name
// with a key the caller chose (its own index of the folder), so that the
// cursor can find an ancestor it still holds open.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// What separates the folders of a path the reader is given and reports.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

enum class DirectoryEntryKind : std::uint8_t {
    File,       // a regular file
    Folder,     // a folder on the same file system, to be read in turn
    Other,      // a symbolic link, device, FIFO, socket: counted, never followed
    MountPoint, // another file system mounted here (or a reparse point): not counted, not asked
};

struct DirectoryEntry
{
    // The name's bytes as the system gives them (UTF-8 converted from UTF-16
    // on Windows); valid during the call only.
    std::string_view name;
    DirectoryEntryKind kind = DirectoryEntryKind::File;
    std::uint64_t allocatedBytes = 0; // space used on the disk (blocks x 512 on Linux)
    std::uint64_t apparentBytes = 0;  // the length a reader sees
    // For files with more than one hard link: the file's number on its
    // device (so that the caller counts it once), else 0.
    std::uint64_t linkedId = 0;
};

class DirectoryEntrySink
{
public:
    virtual void Entry(const DirectoryEntry &entry) = 0;

protected:
    ~DirectoryEntrySink() = default;
};

// One step of a folder's chain from the root (the root itself is the empty
// chain).
struct DirectoryStep
{
    std::uint32_t key = 0; // the caller's name for this folder; never 0 (0 is the root)
    std::string_view name;
};

enum class DirectoryReadStatus : std::uint8_t {
    Ok,
    Unreadable, // the folder could not be opened or read (error says why)
    Vanished,   // it is gone, or is no longer the folder first seen there
    Cancelled,  // stop was set; the entries given so far are all there is
};

class DirectoryCursor
{
public:
    virtual ~DirectoryCursor() = default;
    // Gives every entry of the folder (but "." and "..") to sink. stop is
    // looked at between entries, so that a cancel takes effect within one
    // system call. On Unreadable, error holds the system's reason.
    virtual DirectoryReadStatus Read(std::span<const DirectoryStep> chain, DirectoryEntrySink &sink,
                                     const std::atomic<bool> &stop, std::string &error) = 0;
};

class DirectoryVolume
{
public:
    virtual ~DirectoryVolume() = default;
    // The root folder's own size on the disk (its entries not included).
    virtual std::uint64_t RootAllocatedBytes() const = 0;
    virtual std::uint64_t RootApparentBytes() const = 0;
    // True when the file system lives on a spinning disk, where reads in
    // parallel only make the head seek.
    virtual bool Rotational() const = 0;
    // The root as the system names it after resolving it (absolute).
    virtual const std::string &RootPath() const = 0;
    // A cursor for one thread. Cursors may be used on threads of their own
    // at the same time; one cursor is not shared between threads.
    virtual std::unique_ptr<DirectoryCursor> NewCursor(unsigned maxOpenFolders) = 0;
};

// Opens the folder at path (symbolic links in the path itself are followed,
// none below it). Returns nullptr with error set when it is not a folder or
// cannot be opened.
std::unique_ptr<DirectoryVolume> OpenDirectoryVolume(const std::string &path, std::string &error);

// How many bytes the calling thread has made the system read from storage so
// far (reads served from memory not counted), for telling a scan that waits
// on the disk from one served by the cache. False where the system does not
// say.
bool CurrentThreadStorageReads(std::uint64_t &bytes);

// Puts the calling thread into the background: idle I/O class and a low CPU
// priority on Linux, background mode on Windows. Best effort; false when the
// system refused.
bool LowerCurrentThreadPriority();

} // namespace platform
