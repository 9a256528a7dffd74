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

// What a reader of "name=value" lines needs to know of the line that starts
// at a position: where it ends (its first CR or LF, or the end of the text),
// and where its first "=" and its first backslash are (the line's end when
// it has none).
struct LineScan
{
    qsizetype End;
    qsizetype Equals;
    qsizetype Backslash;
};
LineScan ScanLine(const QChar *text, qsizetype from, qsizetype n);

// The position of the first backslash at or after from, or n when there is
// none.
qsizetype FindBackslash(const QChar *text, qsizetype from, qsizetype n);

// Removes every character with code 32 or below from both ends.
inline QStringView TrimControl(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

// Decoded text whose parts become strings of their own without a copy: every
// part shares the text's one block and counts as one more owner of it, as any
// implicitly shared QString does, so the block lives while the text or any
// part lives. A part is ended by a 0 written into the block behind it, so it
// is an ordinary string to everyone who meets it; changing one detaches it.
//
// The owner may change the block through Data() only where no part lies.
class SharedText
{
public:
    explicit SharedText(QString text);
    ~SharedText();
    SharedText(const SharedText &) = delete;
    SharedText &operator=(const SharedText &) = delete;

    QChar *Data() { return FData; }
    qsizetype Size() const { return FText.size(); }

    // The n characters at pos (0 <= pos, pos + n <= Size()). The character
    // at pos + n becomes 0: it must belong to no part and be read no more.
    QString Part(qsizetype pos, qsizetype n);

private:
    QString FText;
    QChar *FData;
    // Owners counted on the block ahead of the parts that take them, so that
    // many parts cost one atomic addition; the rest is given back at the end.
    int FSpareOwners = 0;
};

} // namespace TextDecoding
