// SPDX-License-Identifier: MIT
#include "localization/ValueEscaping.h"

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
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
} // namespace

QString UnescapeValue(QStringView value)
{
    if (!value.contains(u'\\'))
        return value.toString();
    // Every sequence is at least as long as what it stands for (\n gives
    // CR LF), so the result never outgrows the input.
    QString out(value.size(), Qt::Uninitialized);
    QChar *d = out.data();
    const QChar *s = value.data();
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c != u'\\' || i + 1 >= n) {
            *d++ = QChar(c);
            continue;
        }
        const char16_t next = s[i + 1].unicode();
        if (next == u'\\') {
            *d++ = u'\\';
            ++i;
        } else if (next == u'n') {
            *d++ = u'\r';
            *d++ = u'\n';
            ++i;
        } else if (next == u't') {
            *d++ = u'\t';
            ++i;
        } else if (IsAsciiDigit(next) && i + 2 < n && IsAsciiDigit(s[i + 2].unicode())) {
            *d++ = QChar(char16_t((next - u'0') * 10 + (s[i + 2].unicode() - u'0')));
            i += 2;
        } else {
            *d++ = u'\\';
        }
    }
    out.truncate(d - out.constData());
    return out;
}
