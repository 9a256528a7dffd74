// SPDX-License-Identifier: MIT
#include "wbem/VisibleText.h"

#include "wbem/MofText.h"

namespace platform {

namespace {

void appendBytes(std::string &out, std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += "\\x";
        out += hex[b >> 4];
        out += hex[b & 0xF];
    }
}

// The code point of a valid UTF-8 sequence of n bytes.
char32_t codePoint(std::string_view s)
{
    const auto b = [&s](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
    switch (s.size()) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

bool acts(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F
        || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::string VisibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = Utf8SequenceLength(text, i);
        const std::string_view sequence = text.substr(i, n == 0 ? 1 : n);
        if (n == 0 || acts(codePoint(sequence)))
            appendBytes(out, sequence);
        else
            out += sequence;
        i += sequence.size();
    }
    return out;
}

std::string UrlWithoutCredentials(std::string_view url)
{
    // Up to the last "@": a password written without its escapes can hold
    // "/", "?", "#" or "@", and the authority is then no longer where a
    // parser would look for it. An "@" in the path costs the shown host, not
    // a secret. Without a scheme the whole text counts as the authority.
    const std::size_t scheme = url.find("://");
    const std::size_t from = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t at = url.rfind('@');
    if (at == std::string_view::npos || at < from)
        return std::string(url);
    return std::string(url.substr(0, from)) + std::string(url.substr(at + 1));
}

} // namespace platform
