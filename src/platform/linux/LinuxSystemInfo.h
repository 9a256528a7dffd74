// SPDX-License-Identifier: MIT
#pragma once

// Linux helpers behind Folders.h, UserLocale.h, VersionResource.h and
// SystemError.h, open to the tests.

#include <string>
#include <string_view>

namespace platform {

// An absolute path with "." and empty parts dropped and ".." resolved, no
// trailing "/" (except for "/" itself). A ".." above the root stays at it.
std::string LinuxCleanPath(std::string_view absolutePath);

// $HOME (cleaned), or "/" when it is not set.
std::string LinuxHomeFolder();

// base joined with name by one "/" (none added when base ends with one).
std::string LinuxJoinPath(const std::string &base, std::string_view name);

} // namespace platform
