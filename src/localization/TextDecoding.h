// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Reading translation text: from bytes to text to lines.
namespace TextDecoding {

// Decodes the whole text. A byte-order mark decides the encoding (EF BB BF
// UTF-8, FF FE UTF-16LE, FE FF UTF-16BE) and is dropped. Without a mark the
// bytes are read as UTF-8 when they are valid UTF-8, else as Windows-1252
// (the ANSI code page of the languages the program ships). Malformed
// sequences under a mark, and an odd trailing byte of UTF-16, become U+FFFD.
QString DecodeText(QByteArrayView bytes);

// Windows-1252 to text. Bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D, which the code
// page leaves undefined, map to the C1 controls of the same value, as Windows
// does.
QString DecodeWindows1252(QByteArrayView bytes);

// Calls onLine(QStringView line) for every line of text, split at CR LF, a
// lone LF and a lone CR. A last line without a break counts; a break at the
// very end makes no extra empty line.
template <typename F>
void ForEachLine(QStringView text, F &&onLine)
{
    const qsizetype n = text.size();
    const QChar *data = text.data();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = data[i].unicode();
        if (c != u'\r' && c != u'\n')
            continue;
        if (!onLine(text.sliced(start, i - start)))
            return;
        if (c == u'\r' && i + 1 < n && data[i + 1].unicode() == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        onLine(text.sliced(start));
}

// Removes every character with code 32 or below from both ends.
QStringView TrimControl(QStringView text);

} // namespace TextDecoding
