// SPDX-License-Identifier: MIT
#include "wbem/PropertyLines.h"

#include "wbem/MofText.h"

#include <cstdint>

namespace platform {

namespace {

const char kHex[] = "0123456789ABCDEF";

void appendByteEscape(std::string &out, unsigned char byte)
{
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
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

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string EscapePropertyValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + 8);
    std::size_t i = 0;
    while (i < value.size()) {
        const std::size_t n = Utf8SequenceLength(value, i);
        const auto c = static_cast<unsigned char>(value[i]);
        if (n == 0) {
            appendByteEscape(out, c);
            ++i;
            continue;
        }
        if (n == 1) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    appendByteEscape(out, c);
                else
                    out += static_cast<char>(c);
            }
        } else if (n == 2 && c == 0xC2 && static_cast<unsigned char>(value[i + 1]) <= 0x9F) {
            // A C1 control (U+0080 to U+009F): terminals act on it.
            appendByteEscape(out, c);
            appendByteEscape(out, static_cast<unsigned char>(value[i + 1]));
        } else {
            out.append(value.substr(i, n));
        }
        i += n;
    }
    return out;
}

std::string PropertyLine(std::string_view name, std::string_view value)
{
    std::string line(name);
    line += "=\"";
    line += EscapePropertyValue(value);
    line += '"';
    return line;
}

bool ParsePropertyLine(std::string_view line, std::string &name, std::string &value)
{
    const std::size_t equals = line.find('=');
    if (equals == 0 || equals == std::string_view::npos)
        return false;
    name.assign(line.substr(0, equals));
    for (const char c : name)
        if (isBlank(c) || c == '"' || c == '\\' || c == 0x7F)
            return false;
    std::size_t i = equals + 1;
    if (i >= line.size() || line[i] != '"')
        return false;
    value.clear();
    for (++i; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            return i + 1 == line.size();
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++i >= line.size())
            return false;
        switch (line[i]) {
        case '"':
            value += '"';
            break;
        case '\\':
            value += '\\';
            break;
        case 'n':
            value += '\n';
            break;
        case 'r':
            value += '\r';
            break;
        case 't':
            value += '\t';
            break;
        case 'x': {
            if (i + 2 >= line.size())
                return false;
            const int high = hexValue(line[i + 1]);
            const int low = hexValue(line[i + 2]);
            if (high < 0 || low < 0)
                return false;
            value += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false; // no closing quote
}

std::vector<std::pair<std::string, std::string>> MofInstanceValues(std::string_view objectText)
{
    std::vector<std::pair<std::string, std::string>> values;
    std::size_t start = 0;
    while (start < objectText.size()) {
        std::size_t end = objectText.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = objectText.size();
        const std::string_view raw = objectText.substr(start, end - start);
        start = end + 1;
        if (raw.empty() || raw.front() != '\t')
            continue;
        std::string_view line = trimmed(raw);
        const std::size_t equals = line.find(" = ");
        if (equals == std::string_view::npos || equals == 0)
            continue;
        std::string_view rest = trimmed(line.substr(equals + 3));
        if (!rest.empty() && rest.back() == ';')
            rest.remove_suffix(1);
        std::string value;
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
            const std::string_view inner = rest.substr(1, rest.size() - 2);
            if (!UnescapeMofString(inner, value))
                value.assign(inner);
        } else {
            value.assign(rest);
        }
        values.emplace_back(std::string(line.substr(0, equals)), std::move(value));
    }
    return values;
}

} // namespace platform
