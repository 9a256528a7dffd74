// SPDX-License-Identifier: MIT
// Any query text: a parse or WqlSyntaxError, then a bounded evaluation.
#include "wbem/Wql.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const platform::WqlQuery q = platform::ParseWql(text);
        if (q.where) {
            const platform::WqlLookup lookup = [](const std::string &name) -> platform::WqlValue {
                if (name.size() % 3 == 0)
                    return std::string(name);
                if (name.size() % 3 == 1)
                    return platform::WqlUnsigned(name.size());
                return platform::WqlNull{};
            };
            (void)platform::EvaluateWql(*q.where, lookup);
        }
    } catch (const platform::WqlSyntaxError &) {}
    return 0;
}
