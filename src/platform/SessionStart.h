// SPDX-License-Identifier: MIT
#pragma once

// Starting a program with the user's session.
//
// Windows: a string value under the current user's Run key
// (HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run) named
// after the program file, whose data is the program's path (in double quotes
// when it holds a blank). The key is opened, never created.
// Linux: an XDG autostart entry, <UserConfigFolder>/autostart/<name>.desktop,
// written atomically (a sibling file renamed over it).

#include <string>

namespace platform {

enum class SessionStartResult {
    Done,
    // Nothing to change it in (Windows: the Run key could not be opened).
    NotChanged,
    // The entry could not be written; the error text says why.
    WriteFailed,
};

// The entry's name for a program path: the file name without its folder and
// without the text from the last "." on; a name that would be left empty
// (".velmora") stays whole. Windows also ends a folder at "\" and ":".
std::string SessionStartEntryName(const std::string &programPath);

// Where the entry for programPath lives, for messages and tests: the
// autostart file's path (Linux), the registry value's full name (Windows).
std::string SessionStartEntryLocation(const std::string &programPath);

// enable: adds or replaces the entry that starts programPath (an absolute
// path, UTF-8); otherwise removes it, which is no error when it does not
// exist. error (when given) receives the system's reason for WriteFailed.
SessionStartResult SetSessionStart(const std::string &programPath, bool enable, std::string *error = nullptr);

// The program that the existing entry for programPath's name starts: Linux
// the first argument of the entry's Exec line (unescaped and unquoted),
// Windows the Run value's data without its double quotes. Empty when there is
// no such entry or it cannot be read (an entry over 64 KiB is not read).
std::string SessionStartProgram(const std::string &programPath);

} // namespace platform
