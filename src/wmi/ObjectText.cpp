// SPDX-License-Identifier: MIT
#include "wmi/ObjectText.h"

namespace ObjectText {

namespace {

bool IsControl(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

// One left-to-right pass over text; the result is not searched again, so a
// replacement never joins with its neighbours into a new match.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with)
{
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t hit = text.find(what, pos);
        if (hit == std::string_view::npos) {
            result.append(text.substr(pos));
            break;
        }
        result.append(text.substr(pos, hit - pos));
        result.append(with);
        pos = hit + what.size();
    }
    return result;
}

} // namespace

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string TrimControls(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsControl(text[first]))
        ++first;
    while (last > first && IsControl(text[last - 1]))
        --last;
    return std::string(text.substr(first, last - first));
}

void BuildPropertyList(const std::vector<std::string> &source, std::vector<std::string> &destination)
{
    destination.clear();
    for (const std::string &line : source) {
        if (line.find('=') == std::string::npos)
            continue;
        std::string s = line;
        if (s.front() == '\t')
            s = TrimControls(std::string_view(s).substr(1));
        if (!s.empty() && s.back() == ';')
            s.pop_back();
        s = ReplaceAll(s, " = ", "=");
        std::erase(s, '"');
        destination.push_back(std::move(s));
    }
}

std::string FindValueInObjectText(std::string_view name, std::string_view text)
{
    std::string prefix(name);
    prefix += " = ";
    for (const std::string &line : SplitLines(text)) {
        const std::string trimmed = TrimControls(line);
        if (!trimmed.starts_with(prefix))
            continue;
        std::string v = TrimControls(std::string_view(trimmed).substr(prefix.size()));
        if (!v.empty() && v.front() == '"')
            v.erase(0, 1);
        v = ReplaceAll(v, "\";", "");
        if (v.size() > 1 && v.back() == ';')
            v.pop_back();
        return v;
    }
    return {};
}

std::string ValueAsText(const std::string &value, bool isNull)
{
    return isNull ? std::string() : value;
}

} // namespace ObjectText
