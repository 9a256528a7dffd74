// SPDX-License-Identifier: MIT
#pragma once

// What the drive window asks of the file system besides reading its folders:
// the drive's space, its trash (the freedesktop trash folders of the drive on
// Linux, the Recycle Bin on Windows) and removing files for good. Every call
// may wait on the disk: callers run them off the window's thread.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct DriveSpace
{
    std::uint64_t size = 0; // bytes in all
    // Bytes the user can still write (blocks free to unprivileged users):
    // used plus available is not the total where the system keeps a reserve.
    std::uint64_t available = 0;
};

// The space of the file system that holds path. False, with error set, when
// the system cannot tell.
bool ReadDriveSpace(const std::string &path, DriveSpace &space, std::string &error);

// The trash folders of the user on the drive mounted at driveRoot, those that
// exist. Linux (the freedesktop trash): $XDG_DATA_HOME/Trash (default
// ~/.local/share/Trash) when it lives on the drive's file system, and
// <driveRoot>/.Trash/$uid (only when .Trash is a real folder with the sticky
// bit) and <driveRoot>/.Trash-$uid. Windows: the drive's Recycle Bin folder.
std::vector<std::string> TrashFolders(const std::string &driveRoot);

// Empties the user's trash on the drive mounted at driveRoot: everything in
// the trash folders above goes for good. False, with error naming the first
// item that stayed, when anything could not be removed.
bool EmptyTrash(const std::string &driveRoot, std::string &error);

// Removes the file or the folder at path with everything below it, for good.
// Symbolic links are removed, never followed; nothing on another file system
// mounted below is touched (the folder that holds it then stays). False, with
// error naming the first item that stayed, when anything could not be removed.
bool RemoveTree(const std::string &path, std::string &error);

} // namespace platform
