// SPDX-License-Identifier: MIT
// Any autostart entry text: the program its Exec line starts, never a crash
// or a hang, and never longer than the text it came from.
#include "platform/linux/LinuxSessionStart.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    if (platform::LinuxExecProgram(text).size() > text.size())
        std::abort();
    return 0;
}
