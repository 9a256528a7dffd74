// SPDX-License-Identifier: MIT
#include "localization/ValueEscaping.h"

#include <algorithm>

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

// Position of the first backslash at or after from, or -1. Values are short:
// a plain loop beats the general search's set-up.
qsizetype NextBackslash(QStringView value, qsizetype from)
{
    const QChar *begin = value.data();
    const QChar *end = begin + value.size();
    const QChar *found = std::find(begin + from, end, QChar(u'\\'));
    return found == end ? -1 : found - begin;
}
} // namespace

QString UnescapeValue(QStringView value)
{
    qsizetype backslash = NextBackslash(value, 0);
    if (backslash < 0)
        return value.toString();
    // Every sequence is at least as long as what it stands for (\n gives
    // CR LF), so the result never outgrows the input. The text between two
    // backslashes is copied as one block.
    QString out(value.size(), Qt::Uninitialized);
    QChar *d = out.data();
    const QChar *s = value.data();
    const qsizetype n = value.size();
    qsizetype i = 0;
    while (backslash >= 0) {
        std::copy(s + i, s + backslash, d);
        d += backslash - i;
        i = backslash;
        if (i + 1 >= n) {
            *d++ = u'\\';
            i = n;
            break;
        }
        const char16_t next = s[i + 1].unicode();
        if (next == u'\\') {
            *d++ = u'\\';
            i += 2;
        } else if (next == u'n') {
            *d++ = u'\r';
            *d++ = u'\n';
            i += 2;
        } else if (next == u't') {
            *d++ = u'\t';
            i += 2;
        } else if (IsAsciiDigit(next) && i + 2 < n && IsAsciiDigit(s[i + 2].unicode())) {
            *d++ = QChar(char16_t((next - u'0') * 10 + (s[i + 2].unicode() - u'0')));
            i += 3;
        } else {
            *d++ = u'\\';
            i += 1;
        }
        backslash = NextBackslash(value, i);
    }
    std::copy(s + i, s + n, d);
    d += n - i;
    out.truncate(d - out.constData());
    return out;
}
