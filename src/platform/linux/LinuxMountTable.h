// SPDX-License-Identifier: MIT
#pragma once

// This machine's mount table as plain values, for the drive rules
// (wbem/DriveRules.h). Reading it (libmount) is kept apart from the rules so
// that tests and fuzzers can feed fixtures.

#include "wbem/DriveRules.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One mount, copied out of libmount, with its place in the mount tree.
// Strings are already unescaped (libmount decodes mountinfo's \040-style
// octal escapes), so they may hold blanks, newlines or any other byte;
// fileSystem is the mounted file system's device number (st_dev).
struct LinuxMountEntry : MountRecord
{
    int id = 0;
    int parentId = 0;

    bool operator==(const LinuxMountEntry &) const = default;
};

// Reads /proc/self/mountinfo (with libmount's user options from utab) and
// adds the options of /etc/fstab entries for the same mount path, where
// x-gvfs-hide / x-gvfs-show are found. Throws std::runtime_error when the
// table cannot be read. The table is parsed again only when the kernel has
// marked a change since (see LinuxMountTableGeneration) or utab's stamp
// moved; otherwise the last one is given.
std::vector<LinuxMountEntry> ReadLinuxMountTable();

// A number that changes whenever this process's mount table may have changed
// since the last call (a mount, unmount, move or remount, or the process in
// another mount namespace): one poll() on /proc/self/mountinfo. What is known
// of a mounted file system holds as long as it stays the same.
std::uint64_t LinuxMountTableGeneration();

// Parses a mount table file (mountinfo or fstab format, as libmount detects)
// and, when fstabPath is not empty, merges the options of that fstab file as
// ReadLinuxMountTable does. Throws std::runtime_error when a file cannot be
// read; lines libmount cannot parse are skipped.
std::vector<LinuxMountEntry> ParseLinuxMountTableFile(const std::string &path, const std::string &fstabPath = {});

// The same for a table held in memory (mountinfo or fstab format); for
// fuzzers and tests. Throws std::runtime_error when libmount cannot read it.
std::vector<LinuxMountEntry> ParseLinuxMountTableText(const std::string &text);

} // namespace platform
