// SPDX-License-Identifier: MIT
#pragma once

// The version information a program file carries.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

struct FileVersion
{
    // Major.minor in the first half, release.build in the second, 16 bits
    // each (VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS).
    std::uint32_t VersionMS = 0;
    std::uint32_t VersionLS = 0;
};

// The file version of fileName (UTF-8; empty means the running program), or
// nothing when the file carries none or cannot be read.
// Windows: the file's version resource. Linux: program files carry no version
// information, so only the running program itself answers, with builtIn (the
// version it was built with); any other file, or one that does not exist,
// gives nothing.
std::optional<FileVersion> ReadFileVersion(const std::string &fileName, const FileVersion &builtIn);

} // namespace platform
