// SPDX-License-Identifier: MIT
#include "wbem/MofText.h"

#include <cstdint>

namespace platform {

namespace {

const char kHex[] = "0123456789ABCDEF";

void appendCodeEscape(std::string &out, std::uint32_t code)
{
    out += "\\x";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(code >> shift) & 0xF];
}

// Length of the valid UTF-8 sequence at s[i], or 0 when it is not one
// (overlong forms, surrogates and codes above U+10FFFF are rejected).
std::size_t utf8Length(std::string_view s, std::size_t i, std::uint32_t &code)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    std::size_t n = 0;
    if (c < 0x80) {
        code = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b(k) & 0x3F);
    }
    if ((n == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)))
        || (n == 4 && (code < 0x10000 || code > 0x10FFFF)))
        return 0;
    return n;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string &out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at)
{
    std::uint32_t code = 0;
    return at < text.size() ? utf8Length(text, at, code) : 0;
}

std::string VisibleUtf8(std::string raw)
{
    std::size_t i = 0;
    std::uint32_t code = 0;
    while (i < raw.size()) {
        const std::size_t n = utf8Length(raw, i, code);
        if (n == 0)
            break;
        i += n;
    }
    if (i == raw.size())
        return raw;
    std::string out(raw, 0, i);
    out.reserve(raw.size() + 12);
    while (i < raw.size()) {
        const std::size_t n = utf8Length(raw, i, code);
        if (n == 0) {
            out += "\\x";
            out += kHex[static_cast<unsigned char>(raw[i]) >> 4];
            out += kHex[static_cast<unsigned char>(raw[i]) & 0xF];
            ++i;
            continue;
        }
        out.append(raw, i, n);
        i += n;
    }
    return out;
}

std::string EscapeMofString(std::string_view raw)
{
    std::string out;
    out.reserve(raw.size() + 8);
    std::size_t i = 0;
    while (i < raw.size()) {
        std::uint32_t code = 0;
        const std::size_t n = utf8Length(raw, i, code);
        if (n == 0) {
            // The byte as the lone surrogate U+DC80 + (byte - 0x80), which no
            // valid text holds: the value reads back to its very bytes.
            appendCodeEscape(out, 0xDC00u | static_cast<unsigned char>(raw[i]));
            ++i;
            continue;
        }
        switch (code) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
        case '=':
            // As codes, so that the text between the quotes holds neither:
            // a property list made by dropping every quote and turning " = "
            // into "=" then keeps every value whole and tells it apart.
            appendCodeEscape(out, code);
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (code < 0x20 || (code >= 0x7F && code <= 0x9F))
                appendCodeEscape(out, code);
            else
                out.append(raw.substr(i, n));
        }
        i += n;
    }
    return out;
}

bool UnescapeMofString(std::string_view escaped, std::string &raw)
{
    raw.clear();
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const char c = escaped[i];
        if (c != '\\') {
            raw += c;
            continue;
        }
        if (++i >= escaped.size())
            return false;
        switch (escaped[i]) {
        case '\\':
            raw += '\\';
            break;
        case '"':
            raw += '"';
            break;
        case '\'':
            raw += '\'';
            break;
        case 'n':
            raw += '\n';
            break;
        case 't':
            raw += '\t';
            break;
        case 'r':
            raw += '\r';
            break;
        case 'b':
            raw += '\b';
            break;
        case 'f':
            raw += '\f';
            break;
        case 'x':
        case 'X': {
            std::uint32_t code = 0;
            int digits = 0;
            while (digits < 4 && i + 1 < escaped.size() && hexValue(escaped[i + 1]) >= 0) {
                code = code * 16 + static_cast<std::uint32_t>(hexValue(escaped[++i]));
                ++digits;
            }
            if (digits == 0)
                return false;
            if (code >= 0xDC80 && code <= 0xDCFF)
                raw += static_cast<char>(code & 0xFF); // a byte that is not UTF-8
            else
                appendUtf8(raw, code);
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

std::string RenderMofInstance(std::string_view className, const std::vector<MofProperty> &properties)
{
    std::string out = "instance of ";
    out += className;
    out += "\n{\n";
    for (const MofProperty &p : properties) {
        out += '\t';
        out += p.name;
        out += " = ";
        switch (p.type) {
        case MofType::String:
            out += '"';
            out += EscapeMofString(p.text);
            out += '"';
            break;
        case MofType::UInt64:
            out += '"';
            out += p.text;
            out += '"';
            break;
        case MofType::Number:
        case MofType::Boolean:
            out += p.text;
            break;
        }
        out += ";\n";
    }
    out += "};\n";
    return out;
}

} // namespace platform
