// SPDX-License-Identifier: MIT
#include "localization/TextDecoding.h"

#include <QStringDecoder>
#include <QtAlgorithms>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace TextDecoding {

QString DecodeWindows1252(QByteArrayView bytes)
{
    // 0x80..0x9F; the rest of the code page equals Latin-1.
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const uchar u = uchar(b);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? high[u - 0x80] : char16_t(u));
    }
    return text;
}

namespace {

// The mark has been taken off already: a U+FEFF that follows it is text.
constexpr auto kDecoderFlags = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

QString DecodeUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, kDecoderFlags);
    return decoder.decode(bytes);
}

// Qt's UTF-16 decoder passes unpaired surrogates through; they would not
// survive a UTF-8 writer, so text is made valid once, here.
void ReplaceUnpairedSurrogates(QString &text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            ++i;
        else
            text[i] = QChar::ReplacementCharacter;
    }
}

QString DecodeUtf16(QByteArrayView bytes, QStringConverter::Encoding encoding)
{
    QStringDecoder decoder(encoding, kDecoderFlags);
    QString text = decoder.decode(bytes.first(bytes.size() & ~qsizetype(1)));
    ReplaceUnpairedSurrogates(text);
    if (bytes.size() % 2 != 0)
        text += QChar::ReplacementCharacter;
    return text;
}

} // namespace

QString DecodeText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return DecodeUtf8(bytes.sliced(3));
    if (bytes.startsWith("\xFF\xFE"))
        return DecodeUtf16(bytes.sliced(2), QStringConverter::Utf16LE);
    if (bytes.startsWith("\xFE\xFF"))
        return DecodeUtf16(bytes.sliced(2), QStringConverter::Utf16BE);

    QStringDecoder utf8(QStringConverter::Utf8, kDecoderFlags);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return DecodeWindows1252(bytes);
}

// Eight UTF-16 code units are compared at once where the processor has SSE2
// (every x86-64 one); the units that remain, and every unit elsewhere, one by
// one.

LineScan ScanLine(const QChar *text, qsizetype from, qsizetype n)
{
    qsizetype equals = -1;
    qsizetype backslash = -1;
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi16(short(u'\r'));
    const __m128i lf = _mm_set1_epi16(short(u'\n'));
    const __m128i eq = _mm_set1_epi16(short(u'='));
    const __m128i bs = _mm_set1_epi16(short(u'\\'));
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        // Two mask bits per unit; of "=" and backslash only those before the
        // break count.
        const uint breaks = uint(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(units, cr), _mm_cmpeq_epi16(units, lf))));
        // Without branches: where each is met varies from line to line.
        const uint before = breaks ? (breaks & (0u - breaks)) - 1u : ~0u;
        const uint equalsFound = uint(_mm_movemask_epi8(_mm_cmpeq_epi16(units, eq))) & before;
        const uint slashFound = uint(_mm_movemask_epi8(_mm_cmpeq_epi16(units, bs))) & before;
        const qsizetype equalsHere = i + qCountTrailingZeroBits(equalsFound | 0x10000u) / 2;
        const qsizetype slashHere = i + qCountTrailingZeroBits(slashFound | 0x10000u) / 2;
        equals = equals < 0 && equalsFound ? equalsHere : equals;
        backslash = backslash < 0 && slashFound ? slashHere : backslash;
        if (breaks) {
            i += qCountTrailingZeroBits(breaks) / 2;
            return {i, equals < 0 ? i : equals, backslash < 0 ? i : backslash};
        }
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' || c == u'\n')
            break;
        if (c == u'=' && equals < 0)
            equals = i;
        if (c == u'\\' && backslash < 0)
            backslash = i;
    }
    return {i, equals < 0 ? i : equals, backslash < 0 ? i : backslash};
}

qsizetype FindBackslash(const QChar *text, qsizetype from, qsizetype n)
{
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i bs = _mm_set1_epi16(short(u'\\'));
    for (; i + 8 <= n; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        if (const uint slashes = uint(_mm_movemask_epi8(_mm_cmpeq_epi16(units, bs))))
            return i + qCountTrailingZeroBits(slashes) / 2;
    }
#endif
    while (i < n && text[i] != u'\\')
        ++i;
    return i;
}

SharedText::SharedText(QString text) : FText(std::move(text)), FData(FText.data()) {}

SharedText::~SharedText()
{
    // The text itself still owns the block, so this never ends it.
    if (FSpareOwners > 0)
        FText.data_ptr().d_ptr()->ref_.fetchAndSubOrdered(FSpareOwners);
}

QString SharedText::Part(qsizetype pos, qsizetype n)
{
    Q_ASSERT(pos >= 0 && n >= 0 && pos + n <= FText.size());
    if (n == 0)
        return QStringView(FData + pos, 0).toString();
    // At Size() this is the block's own terminator.
    FData[pos + n] = QChar(0);
    QString::DataPointer &block = FText.data_ptr();
    if (FSpareOwners == 0) {
        constexpr int kOwnersAtOnce = 256;
        block.d_ptr()->ref_.fetchAndAddRelaxed(kOwnersAtOnce);
        FSpareOwners = kOwnersAtOnce;
    }
    --FSpareOwners;
    return QString(QString::DataPointer(block.d_ptr(), reinterpret_cast<char16_t *>(FData + pos), n));
}

} // namespace TextDecoding
