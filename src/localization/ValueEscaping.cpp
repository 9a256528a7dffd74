// SPDX-License-Identifier: MIT
#include "localization/ValueEscaping.h"

QString EscapeValue(const QString &value)
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
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
} // namespace

QString UnescapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = value.at(i).unicode();
        if (c != u'\\' || i + 1 >= n) {
            out += QChar(c);
            continue;
        }
        const char16_t next = value.at(i + 1).unicode();
        if (next == u'\\') {
            out += u'\\';
            ++i;
        } else if (next == u'n') {
            out += u"\r\n";
            ++i;
        } else if (next == u't') {
            out += u'\t';
            ++i;
        } else if (IsAsciiDigit(next) && i + 2 < n && IsAsciiDigit(value.at(i + 2).unicode())) {
            out += QChar(char16_t((next - u'0') * 10 + (value.at(i + 2).unicode() - u'0')));
            i += 2;
        } else {
            out += u'\\';
        }
    }
    return out;
}
