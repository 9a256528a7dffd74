// SPDX-License-Identifier: MIT
// Any mount table text through libmount's parser and the drive rules.
#include "platform/linux/LinuxMountTable.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const auto drives = platform::SelectLogicalDisks(platform::ParseLinuxMountTableText(text));
        for (const auto &d : drives)
            (void)platform::ClassifyDrive(d, platform::DeviceFacts{});
    } catch (const std::runtime_error &) {}
    return 0;
}
