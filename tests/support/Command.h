// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <string>

namespace testsupport {

// What a shell command writes on its standard output (empty when it cannot
// be started).
inline std::string Capture(const std::string &command)
{
    std::string out;
    if (FILE *p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}

} // namespace testsupport
