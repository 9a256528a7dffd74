// SPDX-License-Identifier: MIT
// Any bytes as a mount path: the escaped text holds no control character and
// no bare quote, and reads back to the original when the input was UTF-8.
// As a value of velmora-wql's property lines, it reads back exactly, and
// the same bytes as a MOF object text never stop the reading of its values.
#include "wbem/MofText.h"
#include "wbem/PropertyLines.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string raw(reinterpret_cast<const char *>(data), size);
    const std::string escaped = platform::EscapeMofString(raw);
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(escaped[i]);
        if (c < 0x20 || c == 0x7F)
            std::abort();
        if (c == '\\')
            ++i; // the escaped character
        else if (c == '"')
            std::abort();
    }
    std::string back;
    if (!platform::UnescapeMofString(escaped, back))
        std::abort();
    // Every value reads back to its very bytes, and holds no " = " that a
    // property list would shorten.
    if (back != raw || escaped.find('=') != std::string::npos)
        std::abort();

    const std::string line = platform::PropertyLine("Name", raw);
    if (line.find_first_of("\r\n") != std::string::npos)
        std::abort();
    std::string name, value;
    if (!platform::ParsePropertyLine(line, name, value) || name != "Name" || value != raw)
        std::abort();
    (void)platform::MofInstanceValues(raw);
    return 0;
}
