// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace platform {

// True when host names this machine: "", ".", "localhost" or the machine's
// own name (full, or up to its first dot), in any letter case.
bool IsThisMachine(const std::string &host);

} // namespace platform
