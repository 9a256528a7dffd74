// SPDX-License-Identifier: MIT
#include "localization/ValueEscaping.h"

#include "localization/TextDecoding.h"

#include <algorithm>
#include <cstring>

QString EscapeValue(QStringView value)
{
    QString out;
    out.reserve(value.size() + 8);
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = value.at(i).unicode();
        switch (c) {
        case u'\t':
            out += u"\\t";
            break;
        case u'\n':
        case u'\r': {
            // A line break is one \n whichever convention wrote it.
            const char16_t partner = c == u'\n' ? u'\r' : u'\n';
            if (i + 1 < n && value.at(i + 1).unicode() == partner)
                ++i;
            out += u"\\n";
            break;
        }
        case u'\\':
            out += u"\\\\";
            break;
        default:
            if (c < 32) {
                out += u'\\';
                out += QChar(u'0' + c / 10);
                out += QChar(u'0' + c % 10);
            } else {
                out += QChar(c);
            }
        }
    }
    return out;
}

namespace {
bool IsAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

qsizetype UnescapeValueInPlace(QChar *s, qsizetype n)
{
    return UnescapeValueInPlace(s, n, TextDecoding::FindBackslash(s, 0, n));
}

qsizetype UnescapeValueInPlace(QChar *s, qsizetype n, qsizetype backslash)
{
    if (backslash == n)
        return n;
    // Every sequence is at least as long as what it stands for (\n gives
    // CR LF), so the writing position never passes the reading one. The text
    // between two backslashes moves as one block.
    qsizetype d = backslash;
    qsizetype i = backslash;
    while (i < n) {
        if (backslash > i) {
            std::memmove(s + d, s + i, std::size_t(backslash - i) * sizeof(QChar));
            d += backslash - i;
            i = backslash;
            if (i == n)
                break;
        }
        if (i + 1 >= n) {
            s[d++] = u'\\';
            i = n;
            break;
        }
        const char16_t next = s[i + 1].unicode();
        if (next == u'\\') {
            s[d++] = u'\\';
            i += 2;
        } else if (next == u'n') {
            s[d++] = u'\r';
            s[d++] = u'\n';
            i += 2;
        } else if (next == u't') {
            s[d++] = u'\t';
            i += 2;
        } else if (IsAsciiDigit(next) && i + 2 < n && IsAsciiDigit(s[i + 2].unicode())) {
            s[d++] = QChar(char16_t((next - u'0') * 10 + (s[i + 2].unicode() - u'0')));
            i += 3;
        } else {
            s[d++] = u'\\';
            i += 1;
        }
        backslash = TextDecoding::FindBackslash(s, i, n);
    }
    return d;
}

QString UnescapeValue(QStringView value)
{
    QString out = value.toString();
    if (!out.isEmpty())
        out.truncate(UnescapeValueInPlace(out.data(), out.size()));
    return out;
}
