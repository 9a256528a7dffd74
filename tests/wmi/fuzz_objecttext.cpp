// SPDX-License-Identifier: MIT
// Object texts come from the service and carry names chosen by whoever made
// the volume: any bytes must give well-formed lines, never a crash.
#include "wmi/ObjectText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    // The first line names the property to look up, the rest is the text.
    const std::size_t cut = input.find('\n');
    const std::string_view name = cut == std::string_view::npos ? std::string_view() : input.substr(0, cut);
    const std::string_view text = cut == std::string_view::npos ? input : input.substr(cut + 1);

    const auto lines = ObjectText::SplitLines(text);
    std::size_t total = 0;
    for (const auto &line : lines) {
        if (line.find_first_of("\r\n") != std::string::npos)
            __builtin_trap();
        total += line.size();
    }
    if (total > text.size())
        __builtin_trap();

    std::vector<std::string> properties;
    ObjectText::BuildPropertyList(lines, properties);
    if (properties.size() > lines.size())
        __builtin_trap();
    for (const auto &p : properties)
        if (p.find('"') != std::string::npos || p.find('=') == std::string::npos)
            __builtin_trap();

    const std::string value = ObjectText::FindValueInObjectText(name, text);
    if (value.size() > text.size() || value.find_first_of("\r\n") != std::string::npos)
        __builtin_trap();
    return 0;
}
