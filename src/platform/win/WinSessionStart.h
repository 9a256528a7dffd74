// SPDX-License-Identifier: MIT
#pragma once

// Start with the user's session: a string value under the current user's Run
// key whose data is the command the system runs at log-on.

#include <string>

namespace platform::win {

inline constexpr wchar_t RunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

enum class RunKeyResult {
    Done,
    // The key could not be opened (it is never created): nothing changed.
    KeyNotOpened,
    // The system refused to write the value.
    WriteFailed,
};

// The value data for a program path: the path itself, in double quotes when
// it holds a blank. Unquoted, the system splits "C:\Program Files\V\v.exe" at
// the first blank and would run C:\Program.exe if such a file existed.
std::wstring RunCommandFor(const std::wstring &programPath);

// Adds or replaces the value valueName under HKEY_CURRENT_USER\keyPath with
// RunCommandFor(programPath) as REG_SZ data.
RunKeyResult SetRunValue(const std::wstring &valueName, const std::wstring &programPath,
                         const wchar_t *keyPath = RunKeyPath);

// Deletes a sub-key named valueName (with everything below it), then the
// value valueName. Neither has to exist; only a key that cannot be opened is
// reported.
RunKeyResult RemoveRunValue(const std::wstring &valueName, const wchar_t *keyPath = RunKeyPath);

} // namespace platform::win
