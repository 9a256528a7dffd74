// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace platform {

// The system's text (UTF-8, without a trailing line break) for the calling
// thread's last error: GetLastError() on Windows, errno on Linux. Empty when
// the system has no text for it. Call it before anything else can change the
// error.
std::string LastSystemErrorText();

} // namespace platform
