// SPDX-License-Identifier: MIT
#pragma once

// Asking the person at the terminal for a password.

#include <string>

namespace platform {

// Writes prompt to the terminal (standard error) and reads one line from
// standard input without showing what is typed, when standard input is a
// terminal; otherwise reads the line as it comes (a pipe). The line break is
// not part of the secret. Returns false at the end of input or on a read
// error; the terminal's echo is restored in every case.
bool ReadSecretLine(const std::string &prompt, std::string &secret);

} // namespace platform
