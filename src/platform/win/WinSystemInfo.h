// SPDX-License-Identifier: MIT
#pragma once

// Facts about the user and the program file that the settings need.

#include <cstdint>
#include <optional>
#include <string>

namespace platform::win {

// GetUserDefaultLCID: the user's default locale identifier (3082 for
// Spanish, modern sort; 1033 for English, United States).
std::uint32_t UserLocaleId();

// The user's roaming application-data folder (CSIDL_APPDATA, its current
// path), or empty text when the shell cannot tell.
std::wstring RoamingAppDataFolder();

// The full path of the running program file, or empty text.
std::wstring ProgramFilePath();

struct FileVersion
{
    // VS_FIXEDFILEINFO's dwFileVersionMS and dwFileVersionLS: major.minor in
    // the first, release.build in the second, 16 bits each.
    std::uint32_t VersionMS = 0;
    std::uint32_t VersionLS = 0;
    // The first entry of \VarFileInfo\Translation (0 when there is none).
    std::uint16_t Language = 0;
    std::uint16_t CodePage = 0;
};

// The version resource of fileName (empty: the running program), or nothing
// when the file carries none or cannot be read.
std::optional<FileVersion> ReadFileVersion(const std::wstring &fileName);

} // namespace platform::win
