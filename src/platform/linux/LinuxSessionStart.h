// SPDX-License-Identifier: MIT
#pragma once

// The XDG autostart entry behind SessionStart.h, in parts the tests reach.

#include <string>

namespace platform {

// The program path as one argument of an Exec line: quoted when it holds a
// reserved character of the Desktop Entry Specification (or "="), "%"
// doubled, then escaped as a desktop-entry string value.
std::string LinuxDesktopExecArgument(const std::string &programPath);

// The whole text of the autostart entry that starts programPath.
std::string LinuxDesktopEntryText(const std::string &programPath);

// The program an entry's text starts: the first argument of the Exec key of
// its [Desktop Entry] group, with the string-value escapes undone, the quotes
// removed and "%%" read as "%". Empty when there is none, or when the line
// does not follow the quoting rules (an unclosed quote). Bytes of any kind
// are safe input.
std::string LinuxExecProgram(const std::string &entryText);

// Replaces the file at path with text through a sibling file that is renamed
// over it once everything is on disk: a crash or a full disk leaves the old
// file or the new one, never a mix, and no sibling stays behind. A new file
// gets mode 0666 less the umask, a replaced one keeps its mode. False (with
// the system's reason in error) on failure.
bool LinuxWriteFileAtomically(const std::string &path, const std::string &text, std::string *error);

} // namespace platform
