// SPDX-License-Identifier: MIT
#pragma once

// What the drive-query services that render object texts themselves share:
// the error codes a WMI client would see, and a result set over finished
// object texts.

#include "wbem/WbemService.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// WBEM_E_* and RPC codes as a WMI client sees them.
namespace wbem_code {
constexpr std::int32_t of(std::uint32_t hresult)
{
    return static_cast<std::int32_t>(hresult);
}
inline constexpr std::int32_t Failed = of(0x80041001u);
inline constexpr std::int32_t InvalidNamespace = of(0x8004100Eu);
inline constexpr std::int32_t InvalidClass = of(0x80041010u);
inline constexpr std::int32_t InvalidQuery = of(0x80041017u);
inline constexpr std::int32_t AccessDenied = of(0x80070005u);
inline constexpr std::int32_t RpcUnavailable = of(0x800706BAu);
} // namespace wbem_code

class TextWbemObject : public WbemObject
{
public:
    explicit TextWbemObject(std::string text) : m_text(std::move(text)) {}
    std::string GetObjectText() const override { return m_text; }

private:
    std::string m_text;
};

// Hands out each text once, in order.
class TextWbemObjectSet : public WbemObjectSet
{
public:
    explicit TextWbemObjectSet(std::vector<std::string> texts) : m_texts(std::move(texts)) {}
    std::unique_ptr<WbemObject> Next() override
    {
        if (m_next >= m_texts.size())
            return nullptr;
        return std::make_unique<TextWbemObject>(std::move(m_texts[m_next++]));
    }

private:
    std::vector<std::string> m_texts;
    std::size_t m_next = 0;
};

} // namespace platform
